#pragma once
// The component objects the host holds: the page (IWebPage, IWebPageNotifier,
// IWebPageData) and the manager (IWebPageManager).
#include <memory>

#include "components/pagecore/comobjects.h"
#include "components/webpage/pagecore.h"
#include "uicontrol/interfaces/webpage.h"

namespace webpage {

class CPageEngine;

using CWebPage = pagecore::CPageObject<CPageCore>;

class CWebPageManager final : public pagecore::CManagerObject<CWebPageManager> {
 public:
  explicit CWebPageManager(std::shared_ptr<CPageEngine> engine);
  ~CWebPageManager() override;

  HRESULT NewPage(void* reserved, IWebPage** page) override;
  HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) override;

  const std::shared_ptr<CPageEngine>& Engine() const { return m_engine; }

 private:
  const std::shared_ptr<CPageEngine> m_engine;
};

}  // namespace webpage
