#include "components/pagecore/pagedata.h"
#include "components/webkitpage/kitobjects.h"

#include <glib.h>

#include "components/webpage/weblog.h"
#include "platform/gtk/gtkthread.h"

namespace webkitpage {

HRESULT CKitManagerObject::Make(WebKitWebView* popup, IWebPage** page) {
  auto core = std::make_shared<CKitPage>(m_context, popup, popup != nullptr);
  m_context->Add(core);
  core->Start();
  auto* object = new CKitPageObject(std::move(core));
  object->AddRef();
  *page = object;
  return S_OK;
}

HRESULT CKitManagerObject::NewPage(void*, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  return Make(nullptr, page);
}

HRESULT CKitManagerObject::NewLinkPage(void*, IWebPage* parent, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  auto* opener = dynamic_cast<CKitPageObject*>(parent);
  if (!opener || opener->Page()->Context() != m_context.get()) {
    webpage::LogWarning("NewLinkPage: the parent is not a page of this manager");
    return E_FAIL;
  }
  WebKitWebView* popup = opener->Page()->TakePopup();
  if (!popup) {
    webpage::LogWarning("NewLinkPage: " + opener->Page()->Describe() + " has no window waiting");
    return E_FAIL;
  }
  return Make(popup, page);
}

}  // namespace webkitpage

using webkitpage::CKitContext;
using webkitpage::CKitManagerObject;

HRESULT CreateWebKitPageManager(const WebKitPageOptions& options, IWebPageManager** out) {
  if (!out) return E_POINTER;
  // The DMA-BUF renderer needs a GPU's buffers; without one (a virtual display, a
  // remote X server) WebKit's web process shows nothing. Shared memory works everywhere.
  g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
  auto* manager = new CKitManagerObject(std::make_shared<CKitContext>(options));
  manager->AddRef();
  *out = manager;
  return S_OK;
}

HRESULT SetWebKitPageZoom(IWebPageManager* manager, unsigned int percent) {
  auto* own = dynamic_cast<CKitManagerObject*>(manager);
  const HRESULT checked = pagecore::CheckZoomCall("SetWebKitPageZoom", own != nullptr, percent);
  if (checked == S_OK) own->Context()->SetZoom(percent);
  return checked;
}
