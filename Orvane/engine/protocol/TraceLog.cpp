#include "Orvane/engine/protocol/TraceLog.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/DebugOutput.h"
#include "platform/File.h"
#include "platform/Registry.h"
#include "platform/RegistryValues.h"

namespace {

constexpr const wchar_t* kTraceKeyPath = L"Software\\Orvane\\Trace";
constexpr std::size_t kFileNameCapacity = 260;  // characters, terminator included

class TraceLog {
public:
    TraceLog() {
        std::lock_guard lock(m_lock);
        if (OpenKey()) OpenFile();
    }

    void Write(std::wstring_view text) {
        std::lock_guard lock(m_lock);
        if (OpenKey()) WriteLine(text);
    }

    void Write(const std::function<std::wstring()>& makeText) {
        std::lock_guard lock(m_lock);
        if (OpenKey()) WriteLine(makeText());
    }

private:
    // With the key absent this is the whole cost of a trace call: one failed open.
    bool OpenKey() {
        if (!m_key)
            m_key = platform::SystemRegistry().Open(platform::Hive::CurrentUser, kTraceKeyPath,
                                                    platform::Access::ReadWrite);
        return m_key != nullptr;
    }

    void WriteLine(std::wstring_view text) {
        std::wstring line(text);
        line += L"\r\n";
        const bool endsWithLf = !text.empty() && text.back() == L'\n';
        platform::WriteDebugOutput(endsWithLf ? text : std::wstring_view(line));
        if (!m_file.IsOpen() && !OpenFile()) return;
        const std::vector<std::uint8_t> bytes = platform::ToUtf16Bytes(line);
        try {
            platform::WriteAll(m_file, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        } catch (int) {
            // A trace that cannot be written (a full disk) must not disturb the program.
        }
    }

    bool OpenFile() {
        if (m_fileName.empty()) {
            // Read again at every line until it is there: support may add it while we run.
            std::optional<std::wstring> name = platform::ReadString(*m_key, L"File", kFileNameCapacity);
            if (!name || name->empty()) return false;
            m_fileName = std::move(*name);
        }
        try {
            m_file = platform::CreateForWriting(m_fileName);
        } catch (int) {
            return false;  // a missing folder, say: tried again at the next line
        }
        return true;
    }

    std::mutex m_lock;
    std::unique_ptr<platform::RegistryKey> m_key;
    std::wstring m_fileName;
    platform::File m_file;
};

TraceLog& Instance() {
    static TraceLog log;  // constructed on first use, even from another file's static initialiser
    return log;
}

// Makes the instance at start-up, so that a trace file is truncated as the process starts when
// the key is there by then, not only at the first line.
[[maybe_unused]] const bool kStartedAtLoad = (Instance(), true);

}  // namespace

void WriteTrace(std::wstring_view text) { Instance().Write(text); }

void WriteTrace(const std::function<std::wstring()>& makeText) { Instance().Write(makeText); }

TraceScope::TraceScope(std::wstring name) : m_name(std::move(name)) { WriteTrace(m_name + L" entering"); }

TraceScope::~TraceScope() { WriteTrace(m_name + L" exiting"); }
