// ToolLog: where every word the tool says goes. Three channels (both: console
// then log file; log only; console only), the numbered message table, the
// error-report layout and the text of Windows error codes.
//
// A message text is never used as a printf format: FormatMessageId and
// FormatText substitute %s, %i and %d themselves.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/Platform.h"

// One argument of FormatMessageId / FormatText.
struct FormatArg {
    FormatArg(const std::string& s) : isText(true), text(s) {}         // NOLINT(runtime/explicit)
    FormatArg(const char* s) : isText(true), text(s ? s : "") {}       // NOLINT
    FormatArg(int v) : number(v) {}                                    // NOLINT
    FormatArg(long v) : number(v) {}                                   // NOLINT
    FormatArg(unsigned v) : number(static_cast<long long>(v)) {}       // NOLINT
    FormatArg(unsigned long v) : number(static_cast<long long>(v)) {}  // NOLINT
    bool isText = false;
    std::string text;
    long long number = 0;
};

// printf-style substitution of %s, %i, %d (and %% as one per cent sign) in a
// format the caller spells as a literal; a missing argument gives "".
std::string FormatText(const char* format, std::initializer_list<FormatArg> args = {});

class ToolLog {
public:
    ToolLog() = default;
    ~ToolLog();
    ToolLog(const ToolLog&) = delete;
    ToolLog& operator=(const ToolLog&) = delete;

    // Opens the log file: created when missing, never truncated, exclusive,
    // text mode, positioned at the start. On failure writes message 37 to the
    // console and returns false; the run goes on with the console only.
    bool Open(const std::string& path);
    // Moves the write position to the end (a continuation run appends).
    void SeekToEnd();
    // Closing a log that is not open does nothing.
    void Close();
    bool IsOpen() const { return file_ != plat::kInvalidHandle; }

    void Write(const std::string& text);           // console, then log file
    void WriteToLog(const std::string& text);      // log file only
    void WriteToConsole(const std::string& text);  // console only

    // The message-7 error report: "Error in function <functionName>\n"
    // "Error message: <errorText>\n<detail>\n", to both channels.
    void LogError(const std::string& errorText, const std::string& functionName,
                  const std::string& detail = std::string());

    // The text of table entry id, formatted with the arguments.
    static std::string FormatMessageId(int id, std::initializer_list<FormatArg> args = {});
    // The raw text of a table entry ("" for an id that is not in the table).
    static const char* MessageText(int id);
    // The system's text for a Windows error code (at most 1023 characters),
    // or our own text when the system has none.
    static std::string GetSystemErrorText(std::uint32_t code);

private:
    plat::Handle file_ = plat::kInvalidHandle;
};
