// Hyperlinks and chart objects of the in-process model's sheets.
#include "excel/server/xl_sheet_objects.h"

#include <algorithm>

#include "excel/server/xl_book.h"
#include "excel/server/xl_range.h"
#include "excel/server/xl_sheet.h"
#include "platform/rtl/codepages.h"

namespace xl {

namespace {

HyperlinkOpener& Opener() {
  static HyperlinkOpener opener;
  return opener;
}

template <class T>
bool Holds(const std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}

template <class T>
void Erase(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& entry) {
  list.erase(std::remove(list.begin(), list.end(), entry), list.end());
}

CellRect RectOf(const biff::CellArea& a) { return {a.row0, a.col0, a.row1, a.col1}; }
biff::CellArea AreaOf(const CellRect& r) { return {r.row0, r.col0, r.row1, r.col1}; }

// The range of this sheet that an argument stands for.
const XlRange& OwnRange(const std::shared_ptr<IRange>& range, XlSheet& sheet, const char* what) {
  auto* own = dynamic_cast<XlRange*>(range.get());
  if (!own || &own->Sheet() != &sheet) throw EOleException(AnsiString(what) + " must be a range of the same worksheet");
  return *own;
}

class XlHyperlink : public IHyperlink {
 public:
  XlHyperlink(std::shared_ptr<XlSheet> sheet, std::shared_ptr<biff::Hyperlink> link)
      : sheet_(std::move(sheet)), link_(std::move(link)) {}
  AnsiString Address() override { return Link().address; }
  void SetAddress(const AnsiString& address) override { Link().address = address; }
  AnsiString SubAddress() override { return Link().subAddress; }
  void SetSubAddress(const AnsiString& subAddress) override { Link().subAddress = subAddress; }
  std::shared_ptr<IRange> Range() override { return std::make_shared<XlRange>(sheet_, RectOf(Link().area)); }
  int Type() override {
    Link();
    return 0;
  }
  void Delete() override {
    Link();
    Erase(sheet_->Data().hyperlinks, link_);
  }
  void Follow(bool newWindow) override {
    (void)newWindow;  // there is no browser window of our own to reuse
    biff::Hyperlink& link = Link();
    if (!link.address.empty()) {
      if (!Opener() || !Opener()(link.address)) throw EOleException("Cannot open the specified file.");
      return;
    }
    SelectPlace(link.subAddress);
  }

 private:
  biff::Hyperlink& Link() {
    sheet_->CheckAlive();
    if (!Holds(sheet_->Data().hyperlinks, link_)) throw EOleException("The hyperlink has been deleted");
    return *link_;
  }

  // "Sheet!A1", "'Sheet name'!A1:B2" or a cell address of this sheet.
  void SelectPlace(const AnsiString& place) {
    std::shared_ptr<XlSheet> target = sheet_;
    AnsiString cells = place;
    std::size_t bang = place.rfind('!');
    if (bang != AnsiString::npos) {
      AnsiString name = place.substr(0, bang);
      if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') name = name.substr(1, name.size() - 2);
      cells = place.substr(bang + 1);
      target = nullptr;
      for (const auto& s : sheet_->Book()->Sheets()) {
        if (AnsiUpperCase(s->Data().name) == AnsiUpperCase(name)) target = s;
      }
      if (!target) throw EOleException("Reference is not valid.");
    }
    CellRect rect;
    if (!ParseA1(cells, rect)) throw EOleException("Reference is not valid.");
    XlRange(target, rect).Select();
  }

  std::shared_ptr<XlSheet> sheet_;
  std::shared_ptr<biff::Hyperlink> link_;
};

class XlHyperlinks : public IHyperlinks {
 public:
  explicit XlHyperlinks(std::shared_ptr<XlSheet> sheet) : sheet_(std::move(sheet)) {}
  int Count() override {
    sheet_->CheckAlive();
    return static_cast<int>(sheet_->Data().hyperlinks.size());
  }
  std::shared_ptr<IHyperlink> Item(int index) override {
    if (index < 1 || index > Count()) throw EOleException("No hyperlink with that index");
    return std::make_shared<XlHyperlink>(sheet_, sheet_->Data().hyperlinks[static_cast<std::size_t>(index - 1)]);
  }
  std::shared_ptr<IHyperlink> Add(const std::shared_ptr<IRange>& anchor, const AnsiString& address,
                                  const AnsiString& subAddress) override {
    sheet_->CheckAlive();
    const XlRange& range = OwnRange(anchor, *sheet_, "The anchor");
    if (address.empty() && subAddress.empty()) throw EOleException("A hyperlink needs an address or a sub-address");
    auto link = std::make_shared<biff::Hyperlink>();
    link->area = AreaOf(range.Rect());
    link->address = address;
    link->subAddress = subAddress;
    // A new hyperlink takes the place of one on the same cells.
    auto& list = sheet_->Data().hyperlinks;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& l) { return l->area == link->area; }), list.end());
    list.push_back(link);
    return std::make_shared<XlHyperlink>(sheet_, link);
  }

 private:
  std::shared_ptr<XlSheet> sheet_;
};

class XlChart : public IChart {
 public:
  XlChart(std::shared_ptr<XlSheet> sheet, std::shared_ptr<biff::Chart> chart)
      : sheet_(std::move(sheet)), chart_(std::move(chart)) {}
  int ChartType() override { return Chart().type; }
  void SetChartType(int type) override { Chart().type = type; }
  void ChartWizard(const std::shared_ptr<IRange>& source, int categoryLabels, int seriesLabels, int hasLegend) override {
    biff::Chart& chart = Chart();
    if (source) {
      chart.source = AreaOf(OwnRange(source, *sheet_, "The chart's data").Rect());
      chart.hasSource = true;
    }
    if (categoryLabels >= 0) chart.categoryLabels = categoryLabels;
    if (seriesLabels >= 0) chart.seriesLabels = seriesLabels;
    if (hasLegend >= 0) chart.hasLegend = hasLegend != 0;
  }

 private:
  biff::Chart& Chart() {
    sheet_->CheckAlive();
    if (!Holds(sheet_->Data().charts, chart_)) throw EOleException("The chart has been deleted");
    return *chart_;
  }
  std::shared_ptr<XlSheet> sheet_;
  std::shared_ptr<biff::Chart> chart_;
};

void CheckPosition(double points) {
  if (!(points >= 0 && points <= 169056)) throw EOleException("A chart's position lies on the worksheet");
}

void CheckSize(double points) {
  if (!(points > 0 && points <= 169056)) throw EOleException("A chart's size must be above zero");
}

class XlChartObject : public IChartObject {
 public:
  XlChartObject(std::shared_ptr<XlSheet> sheet, std::shared_ptr<biff::Chart> chart)
      : sheet_(std::move(sheet)), chart_(std::move(chart)) {}
  double Left() override { return ChartEntry().left; }
  void SetLeft(double points) override { CheckPosition(points), ChartEntry().left = points; }
  double Top() override { return ChartEntry().top; }
  void SetTop(double points) override { CheckPosition(points), ChartEntry().top = points; }
  double Width() override { return ChartEntry().width; }
  void SetWidth(double points) override { CheckSize(points), ChartEntry().width = points; }
  double Height() override { return ChartEntry().height; }
  void SetHeight(double points) override { CheckSize(points), ChartEntry().height = points; }
  std::shared_ptr<IChart> Chart() override {
    ChartEntry();
    return std::make_shared<XlChart>(sheet_, chart_);
  }
  void Activate() override {
    ChartEntry();
    sheet_->Activate();
  }
  void Delete() override {
    ChartEntry();
    Erase(sheet_->Data().charts, chart_);
  }

 private:
  biff::Chart& ChartEntry() {
    sheet_->CheckAlive();
    if (!Holds(sheet_->Data().charts, chart_)) throw EOleException("The chart has been deleted");
    return *chart_;
  }
  std::shared_ptr<XlSheet> sheet_;
  std::shared_ptr<biff::Chart> chart_;
};

class XlChartObjects : public IChartObjects {
 public:
  explicit XlChartObjects(std::shared_ptr<XlSheet> sheet) : sheet_(std::move(sheet)) {}
  int Count() override {
    sheet_->CheckAlive();
    return static_cast<int>(sheet_->Data().charts.size());
  }
  std::shared_ptr<IChartObject> Item(int index) override {
    if (index < 1 || index > Count()) throw EOleException("No chart with that index");
    return std::make_shared<XlChartObject>(sheet_, sheet_->Data().charts[static_cast<std::size_t>(index - 1)]);
  }
  std::shared_ptr<IChartObject> Add(double left, double top, double width, double height) override {
    sheet_->CheckAlive();
    CheckPosition(left);
    CheckPosition(top);
    CheckSize(width);
    CheckSize(height);
    auto chart = std::make_shared<biff::Chart>();
    chart->left = left;
    chart->top = top;
    chart->width = width;
    chart->height = height;
    sheet_->Data().charts.push_back(chart);
    return std::make_shared<XlChartObject>(sheet_, chart);
  }

 private:
  std::shared_ptr<XlSheet> sheet_;
};

}  // namespace

std::shared_ptr<IHyperlinks> MakeHyperlinks(std::shared_ptr<XlSheet> sheet) {
  return std::make_shared<XlHyperlinks>(std::move(sheet));
}

std::shared_ptr<IChartObjects> MakeChartObjects(std::shared_ptr<XlSheet> sheet) {
  return std::make_shared<XlChartObjects>(std::move(sheet));
}

HyperlinkOpener SetHyperlinkOpener(HyperlinkOpener opener) {
  HyperlinkOpener old = std::move(Opener());
  Opener() = std::move(opener);
  return old;
}

}  // namespace xl
