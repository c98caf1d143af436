#include "report/NapakaPainter.h"

#include "toolkit/Exceptions.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <optional>

namespace zen {

using namespace napaka;

QFont ReportFont(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Narrower than this a number is hard to read; it wraps instead.
constexpr int kNarrowestStretch = 50;

class TReportPainter {
public:
    explicit TReportPainter(QPagedPaintDevice& device)
        : device_(device), dotsPerMm_(device.logicalDpiY() / 25.4), text_(ReportFont(kTextPoints)),
          title_(ReportFont(kTitlePoints)), textMetrics_(text_, &device),
          titleMetrics_(title_, &device) {}

    void Paint(const std::vector<TNapakaRow>& rows);

private:
    double Px(double mm) const { return mm * dotsPerMm_; }
    double Mm(double px) const { return px / dotsPerMm_; }

    // The lines a word-wrapped field of this width breaks its text into. A word wider than
    // the field is broken inside, so no part of it runs past the field's right edge.
    QStringList Wrap(const QString& text, double widthMm) const;
    // An invoice number broken over two lines reads as two, so one wider than its field (a
    // stand-in font wider than the one measured, or an odd number) is set condensed on one
    // line, down to half its width; nullopt when it fits as it is or cannot be so set.
    std::optional<QFont> Condensed(const QString& text, double widthMm) const;
    // The lines of the invoice-number field: one, unless even condensed it would not fit.
    int StRacLines(const QString& text) const;
    double LineHeight() const { return Mm(textMetrics_.lineSpacing()); }
    double RowHeight(const TNapakaRow& row) const;

    void DrawText(const QString& text, const QFontMetricsF& metrics, double leftMm, double topMm);
    void DrawField(const QString& text, double leftMm, double widthMm, double topMm);
    void DrawRule(double topMm);
    void DrawBand(const TPlacedBand& band, const std::vector<TNapakaRow>& rows);

    QPagedPaintDevice& device_;
    QPainter painter_;
    double dotsPerMm_;
    QFont text_;
    QFont title_;
    QFontMetricsF textMetrics_;
    QFontMetricsF titleMetrics_;
};

QStringList TReportPainter::Wrap(const QString& text, double widthMm) const {
    QStringList lines;
    QTextLayout layout(text, text_, &device_);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(Px(widthMm));
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

std::optional<QFont> TReportPainter::Condensed(const QString& text, double widthMm) const {
    const double advance = textMetrics_.horizontalAdvance(text);
    if (advance <= Px(widthMm) || text.contains(QLatin1Char(' '))) {
        return std::nullopt;
    }
    QFont font = text_;
    for (int stretch = int(100 * Px(widthMm) / advance); stretch >= kNarrowestStretch; --stretch) {
        font.setStretch(stretch);
        if (QFontMetricsF(font, &device_).horizontalAdvance(text) <= Px(widthMm)) {
            return font;
        }
    }
    return std::nullopt;
}

int TReportPainter::StRacLines(const QString& text) const {
    return Condensed(text, kStRacWidth) ? 1 : int(Wrap(text, kStRacWidth).size());
}

double TReportPainter::RowHeight(const TNapakaRow& row) const {
    const auto lines =
        std::max(qsizetype(StRacLines(Q(row.StRac))), Wrap(Q(row.Napaka), kNapakaWidth).size());
    const double needed = static_cast<double>(lines) * LineHeight();
    return kDetailHeight + std::max(0.0, needed - kFieldHeight);
}

// Places the text's top (its ascent line) at topMm, as a label box would.
void TReportPainter::DrawText(const QString& text, const QFontMetricsF& metrics, double leftMm,
                              double topMm) {
    painter_.drawText(QPointF(Px(leftMm), Px(topMm) + metrics.ascent()), text);
}

void TReportPainter::DrawField(const QString& text, double leftMm, double widthMm, double topMm) {
    double y = topMm;
    for (const QString& line : Wrap(text, widthMm)) {
        DrawText(line, textMetrics_, leftMm, y);
        y += LineHeight();
    }
}

void TReportPainter::DrawRule(double topMm) {
    const double y = Px(topMm + kRuleHeight / 2);
    painter_.drawLine(QPointF(0, y), QPointF(Px(kBandWidth), y));
}

void TReportPainter::DrawBand(const TPlacedBand& band, const std::vector<TNapakaRow>& rows) {
    const double top = band.Top;
    switch (band.Band) {
    case TBand::Title: {
        painter_.setFont(title_);
        const QString title = QString::fromUtf8(kTitle);
        const double width = Mm(titleMetrics_.horizontalAdvance(title));
        DrawText(title, titleMetrics_, (kBandWidth - width) / 2, top + kTitleTop);
        painter_.setFont(text_);
        break;
    }
    case TBand::ColumnHeader:
        DrawRule(top + kHeaderRuleTop);
        DrawText(QString::fromUtf8(kStRacLabel), textMetrics_, kStRacLabelLeft, top + kLabelTop);
        DrawText(QString::fromUtf8(kNapakaLabel), textMetrics_, kNapakaLabelLeft, top + kLabelTop);
        DrawRule(top + kHeaderRule2Top);
        break;
    case TBand::Detail: {
        const TNapakaRow& row = rows.at(static_cast<size_t>(band.Row));
        if (std::optional<QFont> condensed = Condensed(Q(row.StRac), kStRacWidth)) {
            painter_.setFont(*condensed);
            DrawText(Q(row.StRac), textMetrics_, kStRacLeft, top + kFieldTop);
            painter_.setFont(text_);
        } else {
            DrawField(Q(row.StRac), kStRacLeft, kStRacWidth, top + kFieldTop);
        }
        DrawField(Q(row.Napaka), kNapakaLeft, kNapakaWidth, top + kFieldTop);
        break;
    }
    case TBand::Summary:
        DrawRule(top + kSummaryRuleTop);
        break;
    }
}

void TReportPainter::Paint(const std::vector<TNapakaRow>& rows) {
    std::vector<double> heights;
    heights.reserve(rows.size());
    for (const TNapakaRow& row : rows) {
        heights.push_back(RowHeight(row));
    }
    const double pageHeight = device_.pageLayout().paintRect(QPageLayout::Millimeter).height();
    const std::vector<TPage> pages = PlanPages(pageHeight, heights);

    if (!painter_.begin(&device_)) {
        throw EInOutError("Poročila \"Napake prenosa\" ni mogoče izrisati");
    }
    QPen pen(Qt::black, Px(kRulePen));
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.setFont(text_);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device_.newPage()) {
            painter_.end();
            throw EInOutError("Poročila \"Napake prenosa\" ni mogoče nadaljevati na novi strani");
        }
        for (const TPlacedBand& band : pages[i]) {
            DrawBand(band, rows);
        }
    }
    if (!painter_.end()) {
        throw EInOutError("Poročila \"Napake prenosa\" ni mogoče dokončati");
    }
}

} // namespace

QPageLayout NapakaPageLayout() {
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                       QMarginsF(kMargin, kMargin, kMargin, kMargin), QPageLayout::Millimeter);
}

void SetupNapakaPrinter(QPrinter& printer) {
    printer.setDocName(QString::fromUtf8(kTitle));
    printer.setFullPage(false);
    printer.setPageLayout(NapakaPageLayout());
}

void PaintNapakaReport(QPagedPaintDevice& device, const std::vector<TNapakaRow>& rows) {
    TReportPainter(device).Paint(rows);
}

} // namespace zen
