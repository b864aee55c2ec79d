#include "web/retrieval_ui.h"

#include <atomic>

namespace quarry {

namespace {
std::atomic<RetrievalUi*> g_ui{nullptr};
}  // namespace

void SetRetrievalUi(RetrievalUi* ui) { g_ui.store(ui); }

RetrievalUi* CurrentRetrievalUi() { return g_ui.load(); }

}  // namespace quarry
