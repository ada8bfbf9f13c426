#pragma once
#include <functional>
#include <string>
#include <string_view>

// The diagnostic trace, for support. It is on while the key HKCU\Software\Orvane\Trace exists;
// its value "File" names a file that gets every text followed by CR LF, as UTF-16LE without a
// byte-order mark. Each text also goes to the debugger output. The file is created (truncated)
// once per process: at start-up when the key exists then, else at the first line after the key
// and its "File" have appeared; a create that fails is tried again at the next line.
// Callable from any thread; never fails outwardly. Each line (text and CR LF) is one write under
// one lock, so lines of different threads never interleave.
void WriteTrace(std::wstring_view text);

// As WriteTrace, but `makeText` runs only when the trace is on: for texts that are costly to
// build.
void WriteTrace(const std::function<std::wstring()>& makeText);

// Writes "<name> entering" now and "<name> exiting" when it goes out of scope, also when an
// exception passes.
class TraceScope {
public:
    explicit TraceScope(std::wstring name);
    ~TraceScope();
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    std::wstring m_name;
};
