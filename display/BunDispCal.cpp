// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "display/BunDispCal.h"

#include <algorithm>
#include <utility>

#include "engine/Stream.h"
#include "engine/utf8.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The bytes that end a word; every one of them also has its own branch in Tokenize.
bool IsDelimiter(char c) {
    switch (c) {
    case ' ': case '(': case ')': case '*': case '+': case '-':
    case '/': case ';': case '[': case ']': case '^':
        return true;
    default:
        return false;
    }
}

// The operators get full-width glyphs; nothing else is replaced.
const std::string& DisplayGlyph(const std::string& s) {
    static const std::string kTimes = "×", kDivide = "÷", kMinus = "－", kPlus = "＋";
    if (s.size() != 1) return s;
    switch (s[0]) {
    case '*': return kTimes;
    case '/': return kDivide;
    case '-': return kMinus;
    case '+': return kPlus;
    default: return s;
    }
}

// A stream over a text it does not own: the writers read results of a million digits
// without a copy. With a virtual terminator the end of the text reads as one ";".
class ViewStream : public TInputStream {
public:
    ViewStream(std::string_view text, bool terminator) : Text(text), Size(text.size() + (terminator ? 1 : 0)) {}

    char ReadChar() override {
        const char c = PeekChar();
        ++Pos;
        return c;
    }
    char PeekChar() override {
        if (Pos >= Size) throw TStreamException(kEndOfStream);
        return Pos < Text.size() ? Text[Pos] : ';';
    }
    bool AtEnd() override { return Pos >= Size; }
    void StepBack() override {
        if (Pos == 0) throw TStreamException(kBeginningOfStream);
        --Pos;
    }
    void ReadDigits(std::string& out) override {
        const size_t start = Pos;
        while (Pos < Text.size() && IsDigit(Text[Pos])) ++Pos;
        out.append(Text.substr(start, Pos - start));
    }

private:
    std::string_view Text;
    size_t Size;
    size_t Pos = 0;
};

// Puts a canvas setting back when the drawing that changed it ends, by an exception too
// (a cancelled or failed drawing must leave the canvas as it found it).
template <typename F>
class Restore {
public:
    explicit Restore(F f) : f_(std::move(f)) {}
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;
    ~Restore() { f_(); }

private:
    F f_;
};

}  // namespace

// ---------------------------------------------------------------- tokenizer

std::string TBunDispCalc::ReadNumber(TInputStream& s) {
    std::string result;
    if (!s.AtEnd()) {
        char c = s.PeekChar();
        if (c == '+' || c == '-') result += s.ReadChar();
    }
    s.ReadDigits(result);
    return result;
}

std::string TBunDispCalc::ReadWord(TInputStream& s) {
    std::string result;
    while (!s.AtEnd()) {
        char b = s.ReadChar();
        if (int need = nerova::utf8::continuationCount(static_cast<unsigned char>(b)); need > 0) {
            // Keep a multi-byte character whole; a truncated one ends where its
            // continuation bytes end, so it never takes a delimiter with it.
            result += b;
            while (need-- > 0 && !s.AtEnd() && nerova::utf8::isContinuation(s.PeekChar()))
                result += s.ReadChar();
            continue;
        }
        if (IsDelimiter(b)) {
            s.StepBack();
            break;
        }
        result += b;
    }
    return result;
}

std::string TBunDispCalc::ReadGroup(TInputStream& s) {
    std::string result;
    while (!s.AtEnd()) {
        result += ReadWord(s);
        char c = s.ReadChar();
        if (c == ')' || c == ';') break;
        result += c;
    }
    return result;
}

void TBunDispCalc::Tokenize(const std::string& text) {
    ForEachToken(text, false, [this](uint8_t kind, std::string t, std::string t2) {
        TokenList.Add(kind, std::move(t), std::move(t2));
    });
}

void TBunDispCalc::ForEachToken(std::string_view text, bool endsText, const TokenSink& add) {
    ViewStream s(text, endsText);
    while (!s.AtEnd()) {
        const char ch = s.ReadChar();
        switch (ch) {
        case ' ': case ':': case ']':
            break;
        case ';':
            return;
        case '(': case ')':
            add(skParen, std::string(1, ch), {});
            break;
        case '+': case '-': case '*': case '/':
            add(skText, std::string(1, ch), {});
            break;
        case '[':
            if (s.AtEnd())
                add(skText, "[", {});
            else
                add(skRecurring, ReadNumber(s), {});
            break;
        case '^':
            if (!s.AtEnd() && (s.PeekChar() == '-' || IsDigit(s.PeekChar()))) {
                std::string e = ReadNumber(s);
                if (!s.AtEnd() && s.PeekChar() == '/') {
                    s.ReadChar();
                    e += '/';
                    e += ReadNumber(s);
                }
                add(skPower, std::move(e), {});
            } else if (s.PeekChar() == '(') {
                s.ReadChar();
                add(skPower, ReadGroup(s), {});
            } else {
                add(skText, "^", {});
            }
            break;
        default:
            if (IsDigit(ch)) {
                s.StepBack();
                std::string n = ReadNumber(s);
                if (!s.AtEnd() && s.PeekChar() == '/') {
                    s.ReadChar();
                    std::string d = ReadNumber(s);
                    add(skFraction, std::move(n), std::move(d));
                } else if (s.PeekChar() == '.') {
                    n += ReadWord(s);
                    add(skText, std::move(n), {});
                } else {
                    add(skNumber, std::move(n), {});
                }
            } else {
                s.StepBack();
                add(skText, ReadWord(s), {});
            }
            break;
        }
    }
}

// ---------------------------------------------------------------- typesetter

void TBunDispCalc::Typeset(TCanvas& canvas, int32_t left, int32_t top, int32_t right, int32_t bottom,
                           const std::string& text) {
    Canvas = &canvas;
    ClipLeft = left;
    ClipTop = top;
    ClipRight = right;
    ClipBottom = bottom;
    FontSize = Canvas->FontSize();
    ComputeMetrics();
    Render(text);
}

void TBunDispCalc::ComputeMetrics() {
    const int32_t h = Canvas->TextHeight("0");
    CharHeight = h;
    BarY = h + h / 2 + 3;
    TextY = BarY - h / 2;
    NumY = BarY - h - 1;
    DenY = BarY + 2;
    PowerY = TextY - h / 4;
    HighPowerY = NumY - h / 4;
}

void TBunDispCalc::ClearArea() {
    Canvas->FillRect(ClipLeft, ClipTop, ClipRight, ClipBottom);
    Canvas->MoveTo(2, 0);
}

void TBunDispCalc::Render(const std::string& text) {
    ClearArea();
    TokenList.Clear();
    if (text.empty()) return;
    Tokenize(text);

    uint8_t prev = skNone;  // kind of the last token that was not an exponent
    int32_t run = 0;        // exponents drawn since that token; each sits 2 pixels higher
    while (const elm* e = TokenList.Next()) {
        switch (e->Kind) {
        case skFraction:
            DrawFraction(e->Text, e->Text2);
            break;
        case skPower:
            DrawPower(e->Text, (prev == skFraction || prev == skParen ? HighPowerY : PowerY) - 2 * run);
            break;
        case skParen:
            DrawParen(e->Text);
            break;
        case skRecurring:
            DrawRecurring(e->Text);
            break;
        default:
            DrawText(e->Text);
            break;
        }
        if (e->Kind == skPower) {
            ++run;
        } else {
            prev = e->Kind;
            run = 0;
        }
    }
}

void TBunDispCalc::DrawText(const std::string& s) {
    const int32_t x = Canvas->PenPos().x;
    if (x > ClipRight) return;
    PutText(x + 2, TextY, DisplayGlyph(s));
}

void TBunDispCalc::PutText(int32_t x, int32_t y, const std::string& s) {
    const int32_t w = Canvas->TextWidth(s);
    if (x + w > ClipRight)
        Canvas->MoveTo(x + w, BarY);  // not drawn, but the caller learns where it would end
    else
        Canvas->TextOut(x, y, s);
}

void TBunDispCalc::DrawFraction(const std::string& num, const std::string& den) {
    const TPoint p = Canvas->PenPos();
    if (p.x > ClipRight) return;
    const int32_t x0 = p.x + 4;
    const int32_t wn = Canvas->TextWidth(num);
    const int32_t wd = Canvas->TextWidth(den);
    const int32_t w = std::max(wn, wd);
    if (x0 + w > ClipRight) {
        Canvas->MoveTo(x0 + w + 4, BarY);
        return;
    }
    Canvas->MoveTo(x0, BarY);
    Canvas->LineTo(x0 + w + 4, BarY);
    PutText(x0 + 3 + (w - wn) / 2, NumY, num);
    PutText(x0 + 3 + (w - wd) / 2, DenY, den);
    Canvas->MoveTo(x0 + w + 4, p.y);
}

void TBunDispCalc::DrawPower(const std::string& s, int32_t y) {
    const Restore font([this] { Canvas->SetFontSize(FontSize); });
    if (s.empty()) return;
    Canvas->SetFontSize(FontSize / 2 + 1);
    Canvas->TextOut(Canvas->PenPos().x + 2, y, s);
}

void TBunDispCalc::DrawParen(const std::string& s) {
    const int32_t x = Canvas->PenPos().x;
    if (x > ClipRight) return;
    const int32_t h = CharHeight, h2 = h / 2, h4 = h / 4;
    const int32_t l = x + 2;
    const int32_t boxTop = NumY - h4, boxBottom = BarY + h + h4;
    if (s == "(") {
        Canvas->Arc(l, boxTop, l + h, boxBottom,
                    l + h2 - h4, ClipTop + h4, l + h2 - h4, boxBottom - h4);
        Canvas->MoveTo(x + h2, boxBottom);
    } else {
        Canvas->Arc(l - h2, boxTop, l + h - h2, boxBottom,
                    l + h4, boxBottom - h4, l + h4, ClipTop + h4);
        Canvas->MoveTo(x + 2 + h2, boxBottom);
    }
}

// A dot over a digit drawn at (x, TextY): a third of a digit into it, H/5 rows above it.
void TBunDispCalc::PutDot(int32_t x) {
    const int32_t dy = CharHeight / 5, dx = Canvas->TextWidth("0") / 3, r = CharHeight / 8;
    const int32_t left = x + dx, top = TextY - dy - r, right = x + dx + r, bottom = TextY - dy;
    if (r > 1) {
        Canvas->Ellipse(left, top, right, bottom);
        return;
    }
    const Restore brush([this, saved = Canvas->BrushColor()] { Canvas->SetBrushColor(saved); });
    Canvas->SetBrushColor(Canvas->FontColor());
    Canvas->FillRect(left, top, right, bottom);
}

void TBunDispCalc::DrawRecurring(const std::string& s) {
    const int32_t x = Canvas->PenPos().x;
    if (s.empty()) {
        Canvas->TextOut(x + 2, TextY, "[");
        return;
    }
    Canvas->TextOut(x + 2, TextY, s.substr(0, 1));
    PutDot(x + 2);
    const int32_t x1 = Canvas->PenPos().x;
    const std::string middle = s.size() > 2 ? s.substr(1, s.size() - 2) : std::string();
    PutText(x1 + 2, TextY, middle);
    if (s.size() >= 2) {
        const int32_t x2 = Canvas->PenPos().x;
        Canvas->TextOut(x2 + 2, TextY, s.substr(s.size() - 1));
        PutDot(x2 + 2);
    }
}
