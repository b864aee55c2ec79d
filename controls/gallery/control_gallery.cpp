// Draws every control of the four modules in each of its styles and
// states into PNG pictures, for reviewing the artwork and the drawing:
//
//   control_gallery OUTPUT_DIR
//
// writes buttons.png, checks.png, labels.png, groups.png and pages.png. The modules
// are loaded from the build tree, as the tests load them.

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <cstdio>
#include <memory>
#include <vector>

#include "controls/testing/control_harness.h"
#include "platform/component_loader.h"

namespace {

using namespace quarry;
using namespace quarry::controls;
using com::Variant;

// A page with the programs' dialog background.
class Page : public QWidget {
 public:
  explicit Page(QSize size) { resize(size); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0xF6, 0xE4, 0xC8));
    g.setColorAt(1, QColor(0xF0, 0xF0, 0xF0));
    p.fillRect(rect(), g);
  }
};

struct Gallery {
  std::vector<std::unique_ptr<testing::TestControl>> controls;

  testing::TestControl* Add(const ModuleIdentity& module, QWidget* page, QRect rect,
                            const std::string& caption, bool enabled = true) {
    testing::ControlOptions options;
    options.rect = rect;
    options.caption = caption;
    options.ambient_back = 0xF0F0F0;
    options.ambient_fore = 0;
    std::string error;
    auto made = testing::MakeControl(module, page, options, &error);
    if (!made) {
      std::fprintf(stderr, "control_gallery: %s\n", error.c_str());
      std::exit(1);
    }
    made->Put(com::DISPID_FONT, Variant::Font(com::FontDesc{"DejaVu Sans", 9, 400}));
    if (!enabled) made->Put(com::DISPID_ENABLED, Variant::Bool(false));
    controls.push_back(std::move(made));
    return controls.back().get();
  }
};

QLabel* Title(QWidget* page, QPoint at, const QString& text) {
  auto* label = new QLabel(text, page);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->move(at);
  label->adjustSize();
  return label;
}

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QMouseEvent e(type, at, w->mapToGlobal(at), button,
                type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

bool Save(QWidget* page, const QString& path) {
  page->show();
  QCoreApplication::processEvents();
  const bool ok = page->grab().save(path);
  if (!ok) std::fprintf(stderr, "control_gallery: cannot write %s\n", qPrintable(path));
  return ok;
}

QByteArray PicturePng() {
  QImage icon(16, 16, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(40, 120, 200));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7, 4, 2, 8));
  p.drawRect(QRectF(4, 7, 8, 2));
  p.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  icon.save(&buffer, "PNG");
  return png;
}

bool Buttons(Gallery& g, const QString& dir) {
  Page page(QSize(760, 520));
  const char* styles[] = {"Original", "Embossed", "Glass", "Metal", "Soft"};
  const char* states[] = {"Normal", "Hover", "Pressed", "Highlight", "Default", "Disabled"};
  for (int s = 0; s < 6; ++s) Title(&page, QPoint(120 + s * 105, 8), states[s]);
  int y = 30;
  for (int style = 0; style < 5; ++style) {
    for (int sides = 0; sides < 2; ++sides) {
      Title(&page, QPoint(10, y + 5), QString("%1%2").arg(styles[style], sides ? " ▭" : ""));
      for (int state = 0; state < 6; ++state) {
        auto* b = g.Add(kButtonModule, &page, QRect(120 + state * 105, y, 92, 26), states[state],
                        state != 5);
        b->Put(1, Variant::Colour(0x339ADF));
        b->Put(11, Variant::Int(style));
        b->Put(12, Variant::Int(sides));
        b->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF0F0F0));
        if (state == 1) Mouse(b->window, QEvent::MouseMove, Qt::NoButton);
        if (state == 2) Mouse(b->window, QEvent::MouseButtonPress, Qt::LeftButton);
        if (state == 3) b->Put(2, Variant::Colour(0x28FEFC)), b->Put(5, Variant::Bool(true));
        if (state == 4) b->Put(10, Variant::Bool(true));
      }
      y += 42;
    }
  }
  // Joined buttons, a picture, a tool tip, two lines.
  Title(&page, QPoint(10, y + 5), "Joined");
  const int align[] = {1, 3, 2};
  const char* names[] = {"Back", "Stop", "Next"};
  for (int i = 0; i < 3; ++i) {
    auto* b = g.Add(kButtonModule, &page, QRect(120 + i * 70, y, 70, 26), names[i]);
    b->Put(1, Variant::Colour(0x339ADF));
    b->Put(4, Variant::Int(align[i]));
  }
  auto* pic = g.Add(kButtonModule, &page, QRect(360, y, 110, 26), "Add Table");
  pic->Put(1, Variant::Colour(0x8B5A2B));
  const QByteArray png = PicturePng();
  pic->Put(7, Variant::Bytes(std::vector<uint8_t>(png.begin(), png.end())));
  pic->Put(8, Variant::Int(1));
  auto* two = g.Add(kButtonModule, &page, QRect(490, y - 6, 110, 38), "Two\\\\nLines");
  two->Put(1, Variant::Colour(0x2E8B57));
  auto* tip = g.Add(kButtonModule, &page, QRect(620, y, 92, 26), "Go\\nOpen the page");
  tip->Put(1, Variant::Colour(0x6A5ACD));
  return Save(&page, dir + "/buttons.png");
}

bool Checks(Gallery& g, const QString& dir) {
  Page page(QSize(760, 330));
  const char* types[] = {"Round lamp", "Square", "Check mark"};
  int y = 10;
  for (int type = 0; type < 3; ++type) {
    Title(&page, QPoint(10, y + 2), types[type]);
    for (int i = 0; i < 4; ++i) {
      const bool checked = i % 2 == 1;
      const bool enabled = i < 2;
      auto* c =
          g.Add(kCheckModule, &page, QRect(120 + i * 150, y, 140, 20),
                std::string(checked ? "Checked" : "Clear") + (enabled ? "" : " (off)"), enabled);
      c->Put(2, Variant::Colour(0x339ADF));
      c->Put(7, Variant::Int(type));
      c->Put(1, Variant::Bool(checked));
    }
    y += 34;
  }
  Title(&page, QPoint(10, y + 2), "Two colours");
  for (int i = 0; i < 2; ++i) {
    auto* c =
        g.Add(kCheckModule, &page, QRect(120 + i * 150, y, 140, 20), i ? "Online" : "Offline");
    c->Put(2, Variant::Colour(0x32CD32));
    c->Put(6, Variant::Colour(0x2020D0));
    c->Put(1, Variant::Bool(i == 1));
  }
  y += 34;
  Title(&page, QPoint(10, y + 2), "Right, scaled");
  auto* right = g.Add(kCheckModule, &page, QRect(120, y, 200, 20), "Indicator at the right");
  right->Put(2, Variant::Colour(0x339ADF));
  right->Put(4, Variant::Int(1));
  right->Put(1, Variant::Bool(true));
  auto* scaled = g.Add(kCheckModule, &page, QRect(360, y - 6, 200, 32), "Auto-scaled lamp");
  scaled->Put(com::DISPID_FONT, Variant::Font(com::FontDesc{"DejaVu Sans", 14, 400}));
  scaled->Put(2, Variant::Colour(0x339ADF));
  scaled->Put(9, Variant::Bool(true));
  scaled->Put(1, Variant::Bool(true));
  auto* scaled_mark = g.Add(kCheckModule, &page, QRect(560, y - 6, 190, 32), "Scaled mark");
  scaled_mark->Put(com::DISPID_FONT, Variant::Font(com::FontDesc{"DejaVu Sans", 14, 400}));
  scaled_mark->Put(7, Variant::Int(2));
  scaled_mark->Put(9, Variant::Bool(true));
  scaled_mark->Put(1, Variant::Bool(true));
  y += 40;
  Title(&page, QPoint(10, y + 2), "Focus, wrap");
  auto* focus = g.Add(kCheckModule, &page, QRect(120, y, 200, 20), "Has the focus");
  focus->Put(2, Variant::Colour(0x339ADF));
  focus->window->setFocus();
  auto* wrap = g.Add(kCheckModule, &page, QRect(360, y, 190, 40),
                     "A longer caption that wraps onto a second line");
  wrap->Put(2, Variant::Colour(0x339ADF));
  page.show();
  page.activateWindow();
  focus->window->setFocus();
  return Save(&page, dir + "/checks.png");
}

bool Labels(Gallery& g, const QString& dir) {
  Page page(QSize(760, 300));
  auto* plain = g.Add(kStaticModule, &page, QRect(20, 16, 200, 18), "Plain label");
  plain->Put(2, Variant::Int(0));
  auto* shadow = g.Add(kStaticModule, &page, QRect(240, 16, 200, 18), "Label with a shadow");
  shadow->Put(2, Variant::Int(1));
  shadow->Put(1, Variant::Colour(0xB0B0B0));
  auto* link = g.Add(kStaticModule, &page, QRect(460, 16, 200, 18), "www.example.org");
  link->Put(8, Variant::Bool(true));
  link->Put(9, Variant::String("https://www.example.org/"));
  link->Put(2, Variant::Int(0));
  auto* off = g.Add(kStaticModule, &page, QRect(20, 46, 200, 18), "Disabled label", false);
  (void)off;
  auto* line = g.Add(kStaticModule, &page, QRect(240, 54, 420, 4), "");
  line->Put(6, Variant::Bool(true));
  line->Put(7, Variant::Int(2));
  line->Put(com::DISPID_FORECOLOR, Variant::Colour(0x339ADF));
  line->Put(1, Variant::Colour(0xFFFFFF));
  line->Put(2, Variant::Int(1));
  const char* borders[] = {"Bump", "Etched", "Raised", "Sunken", "Thin"};
  for (int i = 0; i < 5; ++i) {
    auto* b = g.Add(kStaticModule, &page, QRect(20 + i * 146, 84, 134, 28),
                    std::string(borders[i]) + " border");
    b->Put(14, Variant::Int(i + 1));
    b->Put(3, Variant::Int(5));
    b->Put(2, Variant::Int(0));
    if (i == 4) {
      b->Put(17, Variant::Colour(0x339ADF));
      b->Put(18, Variant::Int(2));
    }
  }
  auto* centred = g.Add(kStaticModule, &page, QRect(20, 130, 300, 70),
                        "Centred both ways,\\nover several lines\\nof text");
  centred->Put(3, Variant::Int(5));
  centred->Put(4, Variant::Bool(true));
  centred->Put(14, Variant::Int(5));
  centred->Put(17, Variant::Colour(0x808080));
  centred->Put(2, Variant::Int(0));
  auto* right = g.Add(kStaticModule, &page, QRect(340, 130, 300, 20), "Right-aligned:");
  right->Put(3, Variant::Int(2));
  right->Put(2, Variant::Int(0));
  auto* opaque = g.Add(kStaticModule, &page, QRect(340, 160, 300, 24), "Opaque, own back colour");
  opaque->Put(16, Variant::Bool(false));
  opaque->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xD8ECF8));
  opaque->Put(3, Variant::Int(5));
  opaque->Put(2, Variant::Int(0));
  auto* mnemonic = g.Add(kStaticModule, &page, QRect(20, 220, 300, 18), "&Address:");
  mnemonic->Put(2, Variant::Int(0));
  return Save(&page, dir + "/labels.png");
}

bool Groups(Gallery& g, const QString& dir) {
  Page page(QSize(760, 560));
  auto* basic = g.Add(kGroupModule, &page, QRect(20, 20, 230, 150), "Standard frame");
  basic->Put(7, Variant::Int(0));
  auto* clean = g.Add(kGroupModule, &page, QRect(270, 20, 230, 150), "Clean look");
  clean->Put(com::DISPID_FORECOLOR, Variant::Colour(0xFFFFFF));
  clean->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  auto* fancy = g.Add(kGroupModule, &page, QRect(520, 20, 220, 150), "Fancy look");
  fancy->Put(7, Variant::Int(2));
  fancy->Put(com::DISPID_FORECOLOR, Variant::Colour(0xFFFFFF));
  fancy->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  auto* plain = g.Add(kGroupModule, &page, QRect(20, 200, 230, 150), "");
  plain->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  auto* thin = g.Add(kGroupModule, &page, QRect(270, 200, 230, 150), "No shadow, dashed");
  thin->Put(18, Variant::Bool(false));
  thin->Put(14, Variant::Int(1));
  thin->Put(8, Variant::Int(0));
  thin->Put(com::DISPID_FORECOLOR, Variant::Colour(0xFFFFFF));
  thin->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  auto* off = g.Add(kGroupModule, &page, QRect(520, 200, 220, 150), "Disabled", false);
  off->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  const char* directions[] = {"Upper right", "Upper left", "Lower right", "Lower left"};
  for (int d = 0; d < 4; ++d) {
    auto* s = g.Add(kGroupModule, &page, QRect(20 + d * 182, 380, 170, 150), directions[d]);
    s->Put(24, Variant::Int(d));
    s->Put(com::DISPID_FORECOLOR, Variant::Colour(0xFFFFFF));
    s->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xF7F3EE));
  }
  return Save(&page, dir + "/groups.png");
}

// The "General" property page of each module, editing a control of it.
bool Pages(Gallery& g, const QString& dir) {
  Page page(QSize(760, 200));
  const ModuleIdentity* modules[] = {&kButtonModule, &kCheckModule, &kGroupModule, &kStaticModule};
  std::vector<com::ComPtr<com::IPropertyPage>> pages;
  int x = 10;
  for (const ModuleIdentity* module : modules) {
    auto* control = g.Add(*module, &page, QRect(0, 0, 1, 1), "Caption");
    control->window->hide();
    com::ComPtr<com::IPropertyPage> property_page;
    if (com::Failed(com::CreateInstanceFromModule(testing::ModulePath(*module), module->PageClsid(),
                                                  com::IID_IPropertyPage,
                                                  property_page.Receive()))) {
      return false;
    }
    property_page->SetObject(control->control.get());
    QWidget* window = property_page->CreatePageWindow(&page);
    window->setGeometry(x, 30, 180, 160);
    Title(&page, QPoint(x, 8), QString::fromUtf8(module->page_type_name.data(),
                                                 static_cast<int>(module->page_type_name.size())));
    pages.push_back(std::move(property_page));
    x += 186;
  }
  const bool ok = Save(&page, dir + "/pages.png");
  for (auto& p : pages) p->SetObject(nullptr);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: control_gallery OUTPUT_DIR\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  Gallery gallery;
  bool ok = Buttons(gallery, dir);
  ok = Checks(gallery, dir) && ok;
  ok = Labels(gallery, dir) && ok;
  ok = Groups(gallery, dir) && ok;
  ok = Pages(gallery, dir) && ok;
  return ok ? 0 : 1;
}
