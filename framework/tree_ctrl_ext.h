// CTreeCtrlExt: the tree of folders and pages (the favourites tree) with
// buttons, lines (also at the root), an always-visible selection and no
// tool tips. Each item carries a number (the command id of a favourite);
// folders carry 0.

#ifndef QUARRY_FRAMEWORK_TREE_CTRL_EXT_H_
#define QUARRY_FRAMEWORK_TREE_CTRL_EXT_H_

#include <QIcon>
#include <QString>
#include <QTreeWidget>
#include <cstdint>

#include "framework/colour/colour_ref.h"

namespace quarry {

class CTreeCtrlExt : public QTreeWidget {
  Q_OBJECT

 public:
  // An empty tree with one column and no header. `parent` owns the tree
  // when given.
  explicit CTreeCtrlExt(QWidget* parent = nullptr);
  ~CTreeCtrlExt() override;

  // Adds a folder (folder image, data 0) or a page item (page image) as the
  // last child of `parent`, or at the root when `parent` is null. The tree
  // owns the returned item.
  QTreeWidgetItem* InsertFolder(QTreeWidgetItem* parent, const QString& name);
  QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const QString& text,
                              uintptr_t data);
  // Removes every item; no selection signal follows.
  void DeleteAllItems();

  // The number kept with `item`; 0 for null or a folder.
  static uintptr_t GetItemData(const QTreeWidgetItem* item);
  static void SetItemData(QTreeWidgetItem* item, uintptr_t data);
  static bool IsFolder(const QTreeWidgetItem* item);
  // All items, folders included, at every depth.
  int GetCount() const;

  // Selects `item` (null clears); programmatic, so it never emits
  // selectionChangedByMouse.
  void SelectItem(QTreeWidgetItem* item);
  QTreeWidgetItem* GetSelectedItem() const;

  // Colours of the background, the texts, the lines and the insert mark.
  void SetBkColour(COLORREF colour);
  void SetTextColour(COLORREF colour);
  void SetLineColour(COLORREF colour);
  void SetInsertMarkColour(COLORREF colour);
  COLORREF GetBkColour() const { return background_; }
  COLORREF GetTextColour() const { return text_; }
  COLORREF GetLineColour() const { return line_; }
  COLORREF GetInsertMarkColour() const { return insert_mark_; }

  // Images of folders and pages: the desktop theme's "folder" and
  // "text-html" icons, or drawn ones where the theme has none. false
  // shows no images.
  void SetImagesShown(bool shown);
  static QIcon FolderIcon();
  static QIcon PageIcon();

 signals:
  // The selection moved to `item` (data = its number): by a mouse click,
  // or from the keyboard or the program. Views that act only on the user's
  // clicks listen to selectionChangedByMouse.
  void selectionChangedByMouse(uintptr_t data, QTreeWidgetItem* item);
  void selectionChangedOther(uintptr_t data, QTreeWidgetItem* item);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void drawBranches(QPainter* painter, const QRect& rect,
                    const QModelIndex& index) const override;
  bool viewportEvent(QEvent* event) override;

 private:
  void OnCurrentChanged(QTreeWidgetItem* current);  // the selected item
  void ApplyColours();

  bool mouse_selecting_ = false;
  bool images_shown_ = true;
  COLORREF background_ = 0xFFFFFF;
  COLORREF text_ = 0;
  COLORREF line_ = 0x808080;
  COLORREF insert_mark_ = 0;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_TREE_CTRL_EXT_H_
