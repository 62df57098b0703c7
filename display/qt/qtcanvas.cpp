// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/qt/qtcanvas.h"

#include <QFontInfo>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/utf8.h"

namespace {

constexpr size_t kShortText = 64;          // texts up to this many bytes are cached whole
constexpr size_t kWidthCacheLimit = 65536;  // entries before the cache starts over
constexpr int64_t kMaxWidth = int64_t{1} << 29;  // widths saturate here, far below int32 overflow

QColor ToQColor(TColor c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
TColor ToTColor(const QColor& c) {
    return (static_cast<TColor>(c.red()) << 16) | (static_cast<TColor>(c.green()) << 8) |
           static_cast<TColor>(c.blue());
}

// The parametric angle (degrees, counter-clockwise, 0 at three o'clock) at which the ray
// from the centre through (px, py) meets the ellipse with half-axes a and b.
double RayAngle(double cx, double cy, double a, double b, double px, double py) {
    const double dx = px - cx, dyUp = cy - py;
    const double t = (a > 0 && b > 0) ? std::atan2(dyUp / b, dx / a) : std::atan2(dyUp, dx);
    return t * 180.0 / std::numbers::pi;
}

}  // namespace

TQtCanvas::TQtCanvas() : MetricsDevice(1, 1, QImage::Format_RGB32) {
    SetDpi(96);
    SetFont(QFont(), Qt::black);
}

TQtCanvas::~TQtCanvas() { End(); }

void TQtCanvas::SetDpi(int dpi) {
    Dpi = dpi > 0 ? dpi : 96;
    const int dpm = static_cast<int>(std::lround(Dpi / 0.0254));
    MetricsDevice.setDotsPerMeterX(dpm);
    MetricsDevice.setDotsPerMeterY(dpm);
    SetFont(BaseFont, TextColor);
}

int32_t TQtCanvas::PointsOf(const QFont& font, int dpi) {
    if (font.pointSizeF() > 0) return static_cast<int32_t>(std::lround(font.pointSizeF()));
    if (font.pixelSize() > 0) return static_cast<int32_t>(std::lround(font.pixelSize() * 72.0 / dpi));
    return 0;
}

void TQtCanvas::SetFont(const QFont& font, const QColor& color) {
    BaseFont = font;
    Font = font;
    BasePoints = PointsOf(font, Dpi);
    Points = BasePoints;
    TextColor = color;
    WidthCache.clear();
    WidthCacheEntries = 0;
    LongTexts = {};
    Digits.clear();
    ApplyCurrentFont();
}

void TQtCanvas::SetPenWidth(int width) { PenWidth = std::max(1, width); }

void TQtCanvas::ApplyCurrentFont() {
    Metrics = std::make_unique<QFontMetricsF>(Font, &MetricsDevice);
    // Rounding ascent and descent separately would make the cell a pixel taller than
    // the font's design height; round their sum instead.
    Ascent = static_cast<int32_t>(std::lround(Metrics->ascent()));
    CellHeight = static_cast<int32_t>(std::lround(Metrics->ascent() + Metrics->descent()));
    if (Painter) Painter->setFont(Font);
}

void TQtCanvas::SetFontSize(int32_t points) {
    if (points == Points) return;
    if (points == BasePoints) {
        Font = BaseFont;
    } else {
        Font = BaseFont;
        Font.setPointSize(std::max(1, points));
    }
    Points = points;
    ApplyCurrentFont();
}

void TQtCanvas::Begin(QImage& image, int32_t originX) {
    const qreal ratio = image.devicePixelRatio();
    Begin(image, static_cast<int32_t>(std::ceil(image.width() / ratio)),
          static_cast<int32_t>(std::ceil(image.height() / ratio)), originX);
}

void TQtCanvas::Begin(QPaintDevice& device, int32_t width, int32_t height, int32_t originX) {
    End();
    Target = &device;
    OriginX = originX;
    ImageWidth = width;
    ImageHeight = height;
    Painter = std::make_unique<QPainter>(&device);
    Painter->setFont(Font);
    Painter->setRenderHint(QPainter::TextAntialiasing, true);
}

void TQtCanvas::End() {
    Painter.reset();
    Target = nullptr;
}

TColor TQtCanvas::FontColor() const { return ToTColor(TextColor); }
TColor TQtCanvas::BrushColor() const { return ToTColor(Brush); }
void TQtCanvas::SetBrushColor(TColor color) { Brush = ToQColor(color); }

int32_t TQtCanvas::MeasureChunk(const char* p, size_t n) const {
    return static_cast<int32_t>(
        std::lround(Metrics->horizontalAdvance(QString::fromUtf8(p, static_cast<qsizetype>(n)))));
}

const TQtCanvas::DigitAdvances& TQtCanvas::DigitsOfCurrentFont() {
    if (auto it = Digits.find(Points); it != Digits.end()) return it->second;
    std::array<double, 10> advance{};
    for (int d = 0; d < 10; ++d) advance[static_cast<size_t>(d)] = Metrics->horizontalAdvance(QChar('0' + d));
    // Every ordered pair of digits once ("00010203...99"): shaped whole, as wide as the
    // advances added, exactly (advances are multiples of 1/64 pixel), or the font does
    // something between digits and every chunk is shaped.
    QString pairs;
    double sum = 0;
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            pairs += QChar('0' + a);
            pairs += QChar('0' + b);
            sum += advance[static_cast<size_t>(a)] + advance[static_cast<size_t>(b)];
        }
    }
    DigitAdvances result;
    if (Metrics->horizontalAdvance(pairs) == sum) result = advance;
    return Digits.emplace(Points, result).first->second;
}

int32_t TQtCanvas::MeasureLongChunk(const char* p, size_t n) {
    const DigitAdvances& digits = DigitsOfCurrentFont();
    if (!digits) return MeasureChunk(p, n);
    std::array<size_t, 10> count{};
    for (size_t i = 0; i < n; ++i) {
        const auto d = static_cast<unsigned char>(p[i] - '0');
        if (d > 9) return MeasureChunk(p, n);
        ++count[d];
    }
    double width = 0;
    for (size_t d = 0; d < 10; ++d) width += static_cast<double>(count[d]) * (*digits)[d];
    return static_cast<int32_t>(std::lround(width));
}

const TQtCanvas::LongText& TQtCanvas::Layout(const std::string& text) {
    for (size_t i = 0; i < LongTexts.size(); ++i) {
        if (LongTexts[i].Points == Points && LongTexts[i].Text == text) {
            std::rotate(LongTexts.begin(), LongTexts.begin() + static_cast<std::ptrdiff_t>(i),
                        LongTexts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return LongTexts[0];
        }
    }
    // A text being typed differs from the one before only near the caret: the chunks
    // that lie wholly in the part both share from the start keep their measured widths.
    const LongText* before = nullptr;
    size_t shared = 0;
    for (const LongText& old : LongTexts) {
        if (old.Points != Points || old.Starts.empty()) continue;
        const size_t n = std::min(old.Text.size(), text.size());
        const size_t common = static_cast<size_t>(
            std::mismatch(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), old.Text.begin()).first -
            text.begin());
        if (common > shared) {
            shared = common;
            before = &old;
        }
    }
    LongText t;
    t.Points = Points;
    t.Text = text;
    int64_t x = 0;
    size_t start = 0, reused = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + kChunkBytes);
        // Never cut a multi-byte character in two.
        while (end < text.size() && end > start + 1 && nerova::utf8::isContinuation(text[end])) --end;
        t.Starts.push_back(start);
        t.X.push_back(static_cast<int32_t>(x));
        // Chunks are cut the same way in both texts up to where they differ.
        if (before && end <= shared && reused + 1 < before->Starts.size() && before->Starts[reused] == start &&
            before->Starts[reused + 1] == end) {
            x = before->X[reused + 1];
            ++reused;
        } else {
            before = nullptr;
            x = std::min(kMaxWidth, x + MeasureLongChunk(text.data() + start, end - start));
        }
        start = end;
    }
    t.Starts.push_back(text.size());
    t.X.push_back(static_cast<int32_t>(x));
    std::move_backward(LongTexts.begin(), LongTexts.end() - 1, LongTexts.end());
    LongTexts[0] = std::move(t);
    return LongTexts[0];
}

int32_t TQtCanvas::TextWidth(const std::string& text) {
    if (text.size() > kShortText) return Layout(text).X.back();
    auto& cache = WidthCache[Points];
    if (auto it = cache.find(text); it != cache.end()) return it->second;
    const int32_t w = MeasureChunk(text.data(), text.size());
    if (WidthCacheEntries >= kWidthCacheLimit) {
        WidthCache.clear();
        WidthCacheEntries = 0;
    }
    WidthCache[Points].emplace(text, w);
    ++WidthCacheEntries;
    return w;
}

int32_t TQtCanvas::TextHeight(const std::string&) { return CellHeight; }

bool TQtCanvas::OutsideX(int64_t left, int64_t right) const {
    return right <= OriginX || left >= int64_t{OriginX} + ImageWidth;
}

// Fills a rectangle given in drawing coordinates, clamped to the image first so that
// huge coordinates never reach the painter.
void TQtCanvas::FillDrawingRect(int64_t left, int64_t top, int64_t right, int64_t bottom, const QColor& c) {
    if (!Painter) return;
    const int64_t l = std::max<int64_t>(left - OriginX, -1);
    const int64_t r = std::min<int64_t>(right - OriginX, ImageWidth + 1);
    const int64_t t = std::max<int64_t>(top, -1);
    const int64_t b = std::min<int64_t>(bottom, ImageHeight + 1);
    if (l >= r || t >= b) return;
    Painter->fillRect(QRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l),
                            static_cast<int>(b - t)),
                      c);
}

void TQtCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
    const int32_t w = TextWidth(text);
    if (Painter && !OutsideX(x, int64_t{x} + w)) {
        FillDrawingRect(x, y, int64_t{x} + w, int64_t{y} + CellHeight, Brush);
        Painter->setPen(TextColor);
        const int baseline = y + Ascent;
        if (text.size() <= kShortText) {
            Painter->drawText(QPoint(x - OriginX, baseline), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        } else {
            const LongText& t = Layout(text);
            // The chunks that reach into the image: the first whose end lies right of its
            // left edge, up to the first that starts at or right of its right edge.
            const int64_t from = int64_t{OriginX} - x, to = from + ImageWidth;
            size_t i = static_cast<size_t>(std::upper_bound(t.X.begin(), t.X.end() - 1, from) - t.X.begin());
            i = i > 0 ? i - 1 : 0;
            for (; i + 1 < t.Starts.size() && t.X[i] < to; ++i) {
                const size_t s = t.Starts[i], n = t.Starts[i + 1] - s;
                Painter->drawText(QPoint(static_cast<int>(x + int64_t{t.X[i]} - OriginX), baseline),
                                  QString::fromUtf8(t.Text.data() + s, static_cast<qsizetype>(n)));
            }
        }
    }
    Pos = {static_cast<int32_t>(std::min<int64_t>(int64_t{x} + w, INT32_MAX)), y};
}

void TQtCanvas::LineTo(int32_t x, int32_t y) {
    const TPoint from = Pos;
    Pos = {x, y};
    if (!Painter) return;
    const int32_t before = (PenWidth - 1) / 2;  // a thick pen is centred on the line
    if (from.y == y && from.x != x) {
        // The end point is not painted: [from, to) going right, (to, from] going left.
        const int64_t l = from.x < x ? from.x : int64_t{x} + 1;
        const int64_t r = from.x < x ? x : int64_t{from.x} + 1;
        FillDrawingRect(l, y - before, r, int64_t{y} - before + PenWidth, TextColor);
    } else if (from.x == x && from.y != y) {
        const int64_t t = from.y < y ? from.y : int64_t{y} + 1;
        const int64_t b = from.y < y ? y : int64_t{from.y} + 1;
        FillDrawingRect(int64_t{x} - before, t, int64_t{x} - before + PenWidth, b, TextColor);
    } else if (from.x != x || from.y != y) {
        if (OutsideX(std::min(from.x, x) - PenWidth, std::max(from.x, x) + PenWidth)) return;
        QPen pen(TextColor, PenWidth, Qt::SolidLine, Qt::FlatCap);
        Painter->setPen(pen);
        Painter->setRenderHint(QPainter::Antialiasing, true);
        Painter->drawLine(QPointF(from.x - OriginX + 0.5, from.y + 0.5), QPointF(x - OriginX + 0.5, y + 0.5));
        Painter->setRenderHint(QPainter::Antialiasing, false);
    }
}

void TQtCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    FillDrawingRect(left, top, right, bottom, Brush);
}

void TQtCanvas::Arc(int32_t left, int32_t top, int32_t right, int32_t bottom,
                    int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (!Painter || OutsideX(int64_t{left} - PenWidth, int64_t{right} + PenWidth)) return;
    const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
    const double a = (right - left) / 2.0, b = (bottom - top) / 2.0;
    const double start = RayAngle(cx, cy, a, b, x1, y1);
    double span = RayAngle(cx, cy, a, b, x2, y2) - start;
    while (span <= 0) span += 360.0;  // counter-clockwise; equal rays make a whole ellipse
    while (span > 360.0) span -= 360.0;
    // Pixel centres: the box's right and bottom edges are outside the ellipse.
    const QRectF box(left - OriginX + 0.5, top + 0.5, right - left - 1.0, bottom - top - 1.0);
    Painter->setPen(QPen(TextColor, PenWidth, Qt::SolidLine, Qt::FlatCap));
    Painter->setBrush(Qt::NoBrush);
    Painter->setRenderHint(QPainter::Antialiasing, true);
    Painter->drawArc(box, static_cast<int>(std::lround(start * 16)), static_cast<int>(std::lround(span * 16)));
    Painter->setRenderHint(QPainter::Antialiasing, false);
}

void TQtCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!Painter || OutsideX(int64_t{left} - PenWidth, int64_t{right} + PenWidth)) return;
    Painter->setPen(QPen(TextColor, PenWidth));
    Painter->setBrush(Brush);
    Painter->setRenderHint(QPainter::Antialiasing, true);
    Painter->drawEllipse(QRectF(left - OriginX + 0.5, top + 0.5, right - left - 1.0, bottom - top - 1.0));
    Painter->setRenderHint(QPainter::Antialiasing, false);
    Painter->setBrush(Qt::NoBrush);
}
