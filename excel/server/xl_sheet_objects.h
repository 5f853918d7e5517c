// Hyperlinks and embedded charts of the in-process model's sheets. The
// objects refer to the sheet's entries, which the file layer writes; a
// call on a deleted one raises EOleException.
#pragma once

#include <functional>
#include <memory>

#include "excel/biff/biff_writer.h"
#include "excel/server/xl_server.h"

namespace xl {

class XlSheet;

std::shared_ptr<IHyperlinks> MakeHyperlinks(std::shared_ptr<XlSheet> sheet);
std::shared_ptr<IChartObjects> MakeChartObjects(std::shared_ptr<XlSheet> sheet);

// What following a hyperlink's address does: the program hands it to the
// desktop. Returns the previous opener; without one following an address
// fails.
using HyperlinkOpener = std::function<bool(const AnsiString& target)>;
HyperlinkOpener SetHyperlinkOpener(HyperlinkOpener opener);

}  // namespace xl
