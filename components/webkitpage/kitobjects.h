#pragma once
// The objects the host holds: a page (IWebPage, IWebPageNotifier, IWebPageData) and the
// manager (IWebPageManager).
#include <memory>

#include "components/pagecore/comobjects.h"
#include "components/webkitpage/kitcontext.h"
#include "components/webkitpage/kitpage.h"
#include "uicontrol/interfaces/webpage.h"

namespace webkitpage {

using CKitPageObject = pagecore::CPageObject<CKitPage>;

class CKitManagerObject final : public pagecore::CManagerObject<CKitManagerObject> {
 public:
  explicit CKitManagerObject(std::shared_ptr<CKitContext> context) : m_context(std::move(context)) {}
  ~CKitManagerObject() override { m_context->Shutdown(); }

  HRESULT NewPage(void* reserved, IWebPage** page) override;
  HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) override;

  const std::shared_ptr<CKitContext>& Context() const { return m_context; }

 private:
  HRESULT Make(WebKitWebView* popup, IWebPage** page);

  const std::shared_ptr<CKitContext> m_context;
};

}  // namespace webkitpage
