#include "shell/textcalc.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "engine/Eval.h"
#include "engine/Stream.h"
#include "engine/lrat.h"

namespace nerova {

namespace {

std::string Write(const TLoRational& r, ResultForm form) {
    switch (form) {
    case ResultForm::Improper: return r.ToImproperText();
    case ResultForm::Mixed: return r.ToMixedColonText();
    case ResultForm::Plus: return r.ToMixedText();
    case ResultForm::Float: return r.ToFloatText();
    case ResultForm::Decimal: return r.ToDecimalText(false);
    case ResultForm::Recurring: return r.ToDecimalText(true);
    }
    return r.ToImproperText();
}

}  // namespace

TextResult evalText(const std::string& text, ResultForm form) {
    try {
        std::string source;
        source.reserve(text.size() + 1);
        source += text;
        source += ';';
        StringStream s(std::move(source));
        TLoRational r;
        EvalExpression(r, s);
        return {true, Write(r, form)};
    } catch (const std::bad_alloc&) {
        return {false, kOutOfMemory};
    } catch (const std::exception& e) {
        return {false, e.what()};
    } catch (...) {
        return {false, std::string()};
    }
}

std::string calcText(const std::string& text) { return evalText(text, ResultForm::Improper).text; }
std::string fracText(const std::string& text) { return evalText(text, ResultForm::Float).text; }
std::string taiText(const std::string& text) { return evalText(text, ResultForm::Plus).text; }

}  // namespace nerova
