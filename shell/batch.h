// Batch evaluation: every line of a text file, written with its value.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

namespace nerova {

/// A file that cannot be opened, read or written. The message is one of the texts
/// below; all but kFileNotFound are followed by ": " and the file's name.
class TInOutException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kFileNotFound = "ファイルが見つかりません";
inline constexpr const char* kFileCannotOpen = "ファイルを開けません";
inline constexpr const char* kFileCannotRead = "ファイルを読み込めません";
inline constexpr const char* kFileCannotCreate = "ファイルを作成できません";
inline constexpr const char* kFileCannotWrite = "ファイルに書き込めません";
inline constexpr const char* kFileSameAsInput = "出力ファイルが入力ファイルと同じです";
/// The names that messages give the standard streams.
inline constexpr const char* kStandardInputName = "(標準入力)";
inline constexpr const char* kStandardOutputName = "(標準出力)";

/// Evaluates the lines of in into out. A line ends at "\r\n", "\n" or "\r"; characters
/// of code 32 or less before a line are skipped (so blank lines vanish); a Ctrl-Z met
/// there ends the input. A line starting with "#" is copied; any other becomes "line = value" (the
/// improper fraction, or the failure message). Output lines end with "\n".
/// Throws TInOutException naming inName or outName when reading or writing fails;
/// lines already written stay written.
void runBatch(std::istream& in, const std::string& inName, std::ostream& out,
              const std::string& outName);

/// Evaluates the file inPath ("-": stdIn) into the file outPath, which is created or
/// emptied; an empty outPath (or "-") writes to stdOut. The input is opened and its first
/// character read first: when that fails (a missing file, a folder), the output is not
/// touched; nor is it when it is the input file itself (emptying it would lose the input,
/// appending to it would read the output for ever). std::cin and std::cout passed as
/// stdIn and stdOut are compared by the files they are. Throws TInOutException
/// (kFileNotFound for a missing input file, kFileSameAsInput naming the output).
void runBatch(const std::string& inPath, const std::string& outPath, std::istream& stdIn,
              std::ostream& stdOut);

}  // namespace nerova
