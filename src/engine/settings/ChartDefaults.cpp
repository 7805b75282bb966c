// Charts written by Office 2007: what the settings it left out meant.
//
// Office 2007 wrote charts that leave many settings out (data labels that show no category
// name, no varied colours, axes that are not deleted) and read them as off, as it read a
// boolean element without a value. Later readers follow the standard's defaults instead, and
// take most of them as on, unless the package's extended properties say that Office 2007 wrote
// it. A joined document says no such thing for every document in it, so a chart of an Office
// 2007 document states what its producer meant, and any reader then draws it the same way.
#include "engine/settings/ChartDefaults.h"

#include "engine/package/AsciiText.h"
#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <unordered_set>

namespace paperloom::engine {
namespace {

constexpr const char* kChartNs = "http://schemas.openxmlformats.org/drawingml/2006/chart";

/// Elements of the chart schema whose only content is a boolean val attribute.
const std::unordered_set<std::string_view>& booleanElements() {
    static const std::unordered_set<std::string_view> names = {
        "applyToEnd",     "applyToFront",     "applyToSides",
        "auto",           "autoTitleDeleted", "autoUpdate",
        "bubble3D",       "chartObject",      "data",
        "date1904",       "delete",           "dispEq",
        "dispRSqr",       "formatting",       "invertIfNegative",
        "marker",         "noEndCap",         "noMultiLvlLbl",
        "overlay",        "plotVisOnly",      "rAngAx",
        "roundedCorners", "selection",        "showBubbleSize",
        "showCatName",    "showDLblsOverMax", "showHorzBorder",
        "showKeys",       "showLeaderLines",  "showLegendKey",
        "showNegBubbles", "showOutline",      "showPercent",
        "showSerName",    "showVal",          "showVertBorder",
        "smooth",         "userInterface",    "varyColors",
        "wireframe"};
    return names;
}

/// Chart groups that carry varyColors, and what follows it in each of them.
constexpr const char* kVaryColorGroups[] = {
    "barChart",     "bar3DChart",    "lineChart",  "line3DChart", "pieChart",
    "pie3DChart",   "doughnutChart", "ofPieChart", "areaChart",   "area3DChart",
    "scatterChart", "radarChart",    "bubbleChart"};
constexpr std::initializer_list<const char*> kAfterVaryColors = {
    "ser",         "dLbls",          "dropLines",      "hiLowLines", "upDownBars",
    "marker",      "smooth",         "gapWidth",       "gapDepth",   "shape",
    "overlap",     "serLines",       "firstSliceAng",  "holeSize",   "bubble3D",
    "bubbleScale", "showNegBubbles", "sizeRepresents", "axId",       "extLst"};

/// The label switches in schema order, each followed by what may come after it.
constexpr const char* kLabelSwitches[] = {"showLegendKey", "showVal",     "showCatName",
                                          "showSerName",   "showPercent", "showBubbleSize"};
constexpr std::initializer_list<const char*> kAfterLabelSwitches = {
    "showLegendKey",  "showVal",   "showCatName",     "showSerName", "showPercent",
    "showBubbleSize", "separator", "showLeaderLines", "leaderLines", "extLst"};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    return text;
}

bool isOn(const pugi::xml_node& element) {
    const std::string_view value = element.attribute("val").value();
    return value == "1" || value == "true" || value == "on";
}

/// Writes the chart elements of one part: a child named by local name, under the chart
/// namespace's prefix.
class ChartWriter {
public:
    explicit ChartWriter(std::string prefix) : m_prefix(std::move(prefix)) {}

    [[nodiscard]] bool isChart(const pugi::xml_node& element) const {
        const std::string_view name = element.name();
        return m_prefix.empty() ? name.find(':') == std::string_view::npos
                                : name.size() > m_prefix.size() &&
                                      name.compare(0, m_prefix.size(), m_prefix) == 0 &&
                                      name[m_prefix.size()] == ':';
    }

    [[nodiscard]] pugi::xml_node child(const pugi::xml_node& parent, std::string_view local) const {
        for (auto element : parent.children()) {
            if (isChart(element) && localName(element.name()) == local) {
                return element;
            }
        }
        return {};
    }

    /// Adds <local val="value"/> to parent unless it has that child, before the first child
    /// named in later (any namespace: mc:AlternateContent counts too), else at the end.
    void state(pugi::xml_node parent, const char* local, const char* value,
               std::initializer_list<const char*> later) const {
        state(parent, local, value, later.begin(), later.end());
    }
    void state(pugi::xml_node parent, const char* local, const char* value,
               const char* const* laterBegin, const char* const* laterEnd) const {
        if (child(parent, local)) {
            return;
        }
        pugi::xml_node before;
        for (auto element = parent.first_child(); element && !before;
             element = element.next_sibling()) {
            const auto name = localName(element.name());
            for (auto candidate = laterBegin; candidate != laterEnd; ++candidate) {
                if (name == *candidate) {
                    before = element;
                    break;
                }
            }
        }
        const std::string name = m_prefix.empty() ? local : m_prefix + ':' + local;
        auto added = before ? parent.insert_child_before(name.c_str(), before)
                            : parent.append_child(name.c_str());
        added.append_attribute("val") = value;
    }

private:
    std::string m_prefix;
};

/// The label switches a data label or a set of labels leaves out are off; deleted labels need
/// none.
void stateLabelSwitches(const ChartWriter& chart, pugi::xml_node labels) {
    if (const auto deleted = chart.child(labels, "delete"); deleted && isOn(deleted)) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kLabelSwitches); ++i) {
        chart.state(labels, kLabelSwitches[i], "0", kAfterLabelSwitches.begin() + i + 1,
                    kAfterLabelSwitches.end());
    }
}

} // namespace

bool writtenByOffice2007(const Package& package) {
    try {
        if (!package.contains("_rels/.rels")) {
            return false;
        }
        const auto rels = Relationships::parse(package.text("_rels/.rels"), "_rels/.rels");
        const Relationship* properties = rels.firstOfType("extended-properties");
        if (properties == nullptr || properties->external) {
            return false;
        }
        const std::string part = resolvePartName("", properties->target);
        if (!package.contains(part)) {
            return false;
        }
        const auto doc = parseXml(package.text(part), part);
        std::string_view application;
        std::string_view version;
        for (auto element : doc.document_element().children()) {
            const auto name = localName(element.name());
            if (name == "Application") {
                application = trimmed(element.text().get());
            } else if (name == "AppVersion") {
                version = trimmed(element.text().get());
            }
        }
        return startsWithAsciiNoCase(application, "Microsoft") && version.rfind("12.", 0) == 0;
    } catch (const PackageError&) {
        return false; // properties we cannot read say nothing about the writer
    }
}

std::string stateOffice2007ChartDefaults(std::string_view chartXml, const std::string& partName) {
    auto doc = parseXml(chartXml, partName);
    auto root = doc.document_element();
    if (localName(root.name()) != "chartSpace") {
        return std::string(chartXml);
    }
    const std::string prefix = prefixFor(root, kChartNs);
    if (prefix.empty() && root.attribute("xmlns").value() != std::string_view(kChartNs)) {
        return std::string(chartXml);
    }
    const ChartWriter chart(prefix);

    forEachElement(root, [&](pugi::xml_node element) {
        if (!chart.isChart(element)) {
            return true;
        }
        const auto local = localName(element.name());
        // A series' marker is a shape with properties, not a switch.
        const bool seriesMarker = local == "marker" && localName(element.parent().name()) == "ser";
        if (booleanElements().count(local) != 0 && !seriesMarker && !element.first_child() &&
            !element.attribute("val")) {
            element.append_attribute("val") = "0";
        }
        return true;
    });

    chart.state(root, "roundedCorners", "0",
                {"AlternateContent", "style", "clrMapOvr", "pivotSource", "protection", "chart",
                 "spPr", "txPr", "externalData", "printSettings", "userShapes", "extLst"});
    forEachElement(root, [&](pugi::xml_node element) {
        if (!chart.isChart(element)) {
            return true;
        }
        const auto local = localName(element.name());
        const auto parent = localName(element.parent().name());
        if (local == "chart" && element.parent() == root) {
            chart.state(element, "autoTitleDeleted", "0",
                        {"pivotFmts", "view3D", "floor", "sideWall", "backWall", "plotArea",
                         "legend", "plotVisOnly", "dispBlanksAs", "showDLblsOverMax", "extLst"});
            chart.state(element, "plotVisOnly", "0",
                        {"dispBlanksAs", "showDLblsOverMax", "extLst"});
            chart.state(element, "dispBlanksAs", "gap", {"showDLblsOverMax", "extLst"});
        } else if (local == "catAx" || local == "valAx" || local == "dateAx" || local == "serAx") {
            chart.state(element, "delete", "0",
                        {"axPos", "majorGridlines", "minorGridlines", "title", "numFmt",
                         "majorTickMark", "minorTickMark", "tickLblPos", "spPr", "txPr", "crossAx",
                         "extLst"});
            // Tick marks left out were outside marks and no minor ones, not crossing marks.
            chart.state(element, "majorTickMark", "out",
                        {"minorTickMark", "tickLblPos", "spPr", "txPr", "crossAx", "extLst"});
            chart.state(element, "minorTickMark", "none",
                        {"tickLblPos", "spPr", "txPr", "crossAx", "extLst"});
        } else if (local == "view3D") {
            chart.state(element, "rAngAx", "0", {"perspective", "extLst"});
        } else if (local == "legend" || local == "title") {
            chart.state(element, "overlay", "0", {"spPr", "txPr", "extLst"});
        } else if (local == "dLbls" || local == "dLbl") {
            stateLabelSwitches(chart, element);
        } else if (local == "ser") {
            if (parent == "lineChart" || parent == "line3DChart" || parent == "scatterChart") {
                chart.state(element, "smooth", "0", {"extLst"});
            } else if (parent == "barChart" || parent == "bar3DChart" || parent == "bubbleChart") {
                chart.state(element, "invertIfNegative", "0",
                            {"pictureOptions", "dPt", "dLbls", "trendline", "errBars", "cat", "val",
                             "xVal", "yVal", "bubbleSize", "bubble3D", "shape", "extLst"});
            }
        } else {
            for (const char* group : kVaryColorGroups) {
                if (local == group) {
                    chart.state(element, "varyColors", "0", kAfterVaryColors);
                    break;
                }
            }
        }
        return true;
    });
    return serializeDocument(doc);
}

} // namespace paperloom::engine
