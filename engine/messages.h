// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// Every message of the window-free layers (the engine and the shell) as a code, with its
// Japanese text, the one the program was designed with. The list lives at the bottom layer
// so that each exception can carry its code; the shell turns a code into the user's
// language (shell/language.h), from the catalogues in translations/.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace nerova {

/// A message of the engine or the window-free shell. A text with "%1" (and "%2") takes
/// arguments; any other text given an argument is followed by ": " and the argument.
enum class Message {
    // The character stream.
    EndOfStream,
    BeginningOfStream,
    // The evaluator and the rationals.
    NoTerm,
    ParenMismatch,
    DivideByZero,
    TooDeep,
    PowerNotInteger,
    NoDigits,
    NotMixed,
    // The natural numbers.
    Negative,
    Overflow,
    LongAddOverflow,
    LongSubNegative,
    ShortmulOverflow,
    LongMulOverflow,
    NaturalDivideByZero,
    DividendTooLarge,
    FloatOverflow,
    TooLarge,
    // The shell: calculations, files and notices.
    OutOfMemory,
    Cancelled,
    FileNotFound,
    FileCannotOpen,
    FileCannotRead,
    FileCannotCreate,
    FileCannotWrite,
    FileSameAsInput,
    LineTooLong,
    StandardInputName,
    StandardOutputName,
    CannotWritePath,
    SettingsTooLarge,
    LengthNotice,
    UnusedNotice,
    FractionExponentNotice,
    PasteTooLongNotice,
    BatchProgressNotice,
    BatchCancelledNotice,
    BatchDoneNotice,
    // The macro service over D-Bus: the item's failure and the errors' texts.
    ResultTooLargeForBus,
    NoSuchItem,
    MacroBusy,
    PokeTooManyBytes,
    PokeTooManyLines,
    PokeTooLargeForBus,
    StepsLeftOut,
    StepsResultTooLong,
    // The command line: --help, --version and wrong arguments.
    UsageLines,
    HelpBody,
    BugReports,
    HomePage,
    VersionLicense,
    TryHelp,
    OptionNeedsValue,
    OptionGivenTwice,
    UnknownForm,
    BadJobs,
    RenderNeedsFile,
    UnknownFileType,
    BadSize,
    BadMaxDigits,
    UnknownOption,
    OneMode,
    FormWithEval,
    StepsWithEval,
    StepsForms,
    FontWithRender,
    JobsWithBatch,
    BatchNeedsInput,
    UnexpectedArgument,
    NotStartedHere,
    // The renderer and the start of the window.
    RenderNeedsApplication,
    RenderFontNotFound,
    NoDisplay,
    WindowProgramNotStarted,
    UnknownError,
    ShowingResultNotice,
    Count  ///< not a message: the number of messages
};

/// The message's design text (Japanese, UTF-8).
const char* sourceText(Message m);

/// text with "%1" replaced by first and "%2" by second; without "%1", a non-empty first
/// is appended after ": ".
std::string formatMessage(std::string_view text, std::string_view first = {}, std::string_view second = {});

/// An exception that carries a message code (and the arguments that complete it). what()
/// is the design's text, so code that shows what() shows what it always did; the shell
/// shows the code's text in the user's language.
class MessageError : public std::runtime_error {
public:
    explicit MessageError(Message code, const std::string& argument = {}, const std::string& second = {})
        : std::runtime_error(formatMessage(sourceText(code), argument, second)),
          code_(code), argument_(argument), second_(second) {}
    Message code() const noexcept { return code_; }
    const std::string& argument() const noexcept { return argument_; }
    const std::string& second() const noexcept { return second_; }

private:
    Message code_;
    std::string argument_;
    std::string second_;
};

}  // namespace nerova
