// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/qt/BunDisp.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// The typesetter's right edge: far enough that nothing in a display text reaches it, so
// every token is drawn and the off-screen window decides what is kept.
constexpr int32_t kFarRight = int32_t{1} << 30;
constexpr int kLineStep = 5;
constexpr int kPageStep = 50;

// Sizes of a few million pixels at most: exact as doubles.
qreal Real(int64_t v) { return static_cast<qreal>(v); }

int64_t ImageBytes(int64_t width, int64_t height, qreal ratio) {
    return static_cast<int64_t>(std::ceil(Real(width) * ratio)) * static_cast<int64_t>(std::ceil(Real(height) * ratio)) * 4;
}

}  // namespace

TBunDisp::TBunDisp(QWidget* owner, QScrollBar* scrollBar)
    : QWidget(owner), ScrollBar(scrollBar), Font(owner ? owner->font() : defaultFont()),
      FontColour(owner ? owner->palette().color(QPalette::WindowText) : QColor(Qt::black)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    ScrollBar->setOrientation(Qt::Horizontal);
    ScrollBar->setRange(0, 0);
    ScrollBar->setValue(0);
    ScrollBar->setSingleStep(kLineStep);
    ScrollBar->setPageStep(kPageStep);
    ScrollBar->setVisible(true);
    connect(ScrollBar, &QScrollBar::valueChanged, this, [this] { ScrollView(); });
    Typesetter = std::make_unique<TBunDispCalc>();
    SetupCanvas();
    CharHeight = Canvas.TextHeight("0");
    resize(kImageWidth, controlHeight());
    setFixedHeight(controlHeight());
}

TBunDisp::~TBunDisp() = default;

QFont TBunDisp::defaultFont() {
    QFont f(QStringLiteral("IPAGothic"));
    f.setStyleHint(QFont::TypeWriter);
    f.setPixelSize(14);
    return f;
}

void TBunDisp::setDisplayFont(const QFont& font, const QColor& color) {
    Font = font;
    FontColour = color;
}

void TBunDisp::setRenderRatio(qreal ratio) { RenderRatio = ratio > 0 ? ratio : 0; }

qreal TBunDisp::Ratio() const { return RenderRatio > 0 ? RenderRatio : devicePixelRatioF(); }

// The off-screen canvas takes the display font, the background as its brush and a line
// width of one pixel per 8 points of font size, at least 1.
void TBunDisp::SetupCanvas() {
    Canvas.SetDpi(logicalDpiY());
    Canvas.SetFont(Font, FontColour);
    Canvas.SetBrushColor(static_cast<TColor>(Background.rgb() & 0xFFFFFF));
    Canvas.SetPenWidth(std::max(1, Canvas.FontSize() / 8));
}

// Makes the off-screen image at least as wide as the control (2000 pixels when the control
// is narrower) and as tall as the control, drawn at the screen's ratio, within kImageBudget.
void TBunDisp::PrepareImage() {
    ScreenRatio = devicePixelRatioF();
    const int64_t h = std::max(1, controlHeight());
    const int64_t view = std::max(1, width());
    qreal r = Ratio();
    if (ImageBytes(view, h, r) > kImageBudget) r = 1;  // an absurdly large control: give up sharpness
    int64_t w = std::max<int64_t>(kImageWidth, view);
    if (ImageBytes(w, h, r) > kImageBudget)
        w = std::max<int64_t>(view, static_cast<int64_t>(Real(kImageBudget) / (std::ceil(Real(h) * r) * 4) / r));
    int64_t rows = h;
    if (ImageBytes(w, rows, r) > kImageBudget)
        rows = std::max<int64_t>(1, static_cast<int64_t>(Real(kImageBudget) / (std::ceil(Real(w) * r) * 4) / r));
    const QSize size(static_cast<int>(std::ceil(Real(w) * r)), static_cast<int>(std::ceil(Real(rows) * r)));
    const int dpm = static_cast<int>(std::lround(logicalDpiY() / 0.0254));
    if (Offscreen.size() == size && Offscreen.devicePixelRatio() == r && Offscreen.dotsPerMeterY() == dpm) return;
    Offscreen = QImage();  // free the old one before making the new one
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    image.setDevicePixelRatio(r);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Background);
    Offscreen = std::move(image);
}

namespace {

// Ends the canvas's painting on every path.
struct EndPainting {
    TQtCanvas& c;
    ~EndPainting() { c.End(); }
};

}  // namespace

void TBunDisp::TypesetAt(int32_t origin) {
    PrepareImage();
    OriginX = origin;
    Canvas.Begin(Offscreen, origin);
    const EndPainting end{Canvas};
    Typesetter->Typeset(Canvas, 0, 0, kFarRight, controlHeight(), Text);
    DrawingWidth = Canvas.PenPos().x;
}

int TBunDisp::wholeWidth() const { return std::min(DrawingWidth + 2, std::max(1, width())); }

void TBunDisp::drawWhole(QPaintDevice& device) {
    Canvas.Begin(device, wholeWidth(), controlHeight(), 0);
    const EndPainting end{Canvas};
    Typesetter->Typeset(Canvas, 0, 0, kFarRight, controlHeight(), Text);
}

void TBunDisp::ShowText(const std::string& text) {
    Text = text;
    TypesetAt(0);
    {
        const QSignalBlocker block(ScrollBar);  // the view is copied below, once
        ScrollBar->setMaximum(std::max(0, DrawingWidth - width()));
        ScrollBar->setValue(0);
    }
    ScrollBar->setVisible(ScrollBar->minimum() != ScrollBar->maximum());
    CopyVisible();
}

void TBunDisp::ApplyFont() {
    SetupCanvas();
    Offscreen = QImage();  // made again, filled with the background
    Typesetter.reset();
    Typesetter = std::make_unique<TBunDispCalc>();
    CharHeight = Canvas.TextHeight("0");
    setFixedHeight(controlHeight());
    ShowText(Text);
}

// Brings the part of the drawing that the scroll bar selects into the off-screen window
// (typesetting again, shifted, when it lies outside) and repaints.
void TBunDisp::CopyVisible() {
    const int64_t x = ScrollBar->value();
    const int64_t w = std::max(1, width());
    const int64_t imageWidth = static_cast<int64_t>(std::floor(Offscreen.width() / Offscreen.devicePixelRatio()));
    const int64_t from = x, to = std::min<int64_t>(x + w, int64_t{DrawingWidth} + 4);
    if (to > from && (from < OriginX || to > OriginX + imageWidth)) {
        // Centre the view in the new window so that scrolling either way stays a copy for a while.
        const int64_t origin = std::max<int64_t>(0, x - std::max<int64_t>(0, imageWidth - w) / 2);
        TypesetAt(static_cast<int32_t>(origin));
    }
    update();
}

void TBunDisp::FollowPosition(std::size_t bytes) {
    if (ScrollBar->maximum() == 0 || Text.empty()) return;
    // Where the text up to there ends when typeset alone: its own drawing, measured
    // without painting (the canvas paints only between Begin and End).
    int32_t x = DrawingWidth;
    if (bytes + 1 < Text.size()) {
        TBunDispCalc measuring;
        measuring.Typeset(Canvas, 0, 0, kFarRight, controlHeight(), Text.substr(0, bytes) + ";");
        x = Canvas.PenPos().x;
    }
    const int margin = std::min(width() / 4, 3 * CharHeight);
    const int value = ScrollBar->value();
    if (x > value + width() - margin) ScrollBar->setValue(x - width() + margin);
    else if (x < value + margin) ScrollBar->setValue(x - margin);
}

void TBunDisp::wheelEvent(QWheelEvent* event) {
    if (ScrollBar->maximum() == 0) {
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(ScrollBar, event);
}

void TBunDisp::ScrollView() {
    try {
        CopyVisible();
    } catch (const std::exception&) {
        update();  // keep what the image holds; the next ShowText reports the failure
    }
}

void TBunDisp::PaintVisible(QPainter& painter) {
    const int w = width(), h = height();
    painter.fillRect(QRect(0, 0, w, h), Background);
    if (Offscreen.isNull()) return;
    const qreal r = Offscreen.devicePixelRatio();
    const int64_t x = ScrollBar->value();
    const int64_t imageWidth = static_cast<int64_t>(std::floor(Offscreen.width() / r));
    const int64_t rows = std::min<int64_t>(h, static_cast<int64_t>(std::floor(Offscreen.height() / r)));
    const int64_t from = std::max<int64_t>(x, OriginX);
    const int64_t to = std::min<int64_t>(x + w, int64_t{OriginX} + imageWidth);
    if (to <= from || rows <= 0) return;
    painter.drawImage(QRectF(Real(from - x), 0, Real(to - from), Real(rows)), Offscreen,
                      QRectF(Real(from - OriginX) * r, 0, Real(to - from) * r, Real(rows) * r));
}

QImage TBunDisp::visibleImage() {
    const qreal r = Offscreen.isNull() ? Ratio() : Offscreen.devicePixelRatio();
    QImage image(static_cast<int>(std::ceil(width() * r)), static_cast<int>(std::ceil(height() * r)),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(r);
    QPainter painter(&image);
    PaintVisible(painter);
    return image;
}

void TBunDisp::paintEvent(QPaintEvent*) {
    // Moved to a screen of another ratio: draw again so that the picture stays sharp.
    if (RenderRatio == 0 && !Offscreen.isNull() && ScreenRatio != devicePixelRatioF()) {
        try {
            TypesetAt(OriginX);
        } catch (const std::exception&) {
        }
    }
    QPainter painter(this);
    PaintVisible(painter);
}
