#include "Orvane/app/JobTexts.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "Orvane/engine/tasks/ErrorText.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "Orvane/resources/ResourceIds.h"
#include "platform/Strings.h"

namespace {
// A message box taller than the screen hides its OK button.
constexpr std::size_t kLeftOutLinesShown = 20;

// "%02d" of a count that may pass 99 (the hours of a long job).
std::wstring TwoDigits(std::uint64_t value) {
    return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

}  // namespace

std::wstring FillText(const std::wstring& format, std::initializer_list<std::wstring> arguments) {
    std::wstring text;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 == format.size()) {
            text += format[i];
            continue;
        }
        const wchar_t kind = format[++i];
        if (kind == L'%') {
            text += L'%';
        } else if ((kind == L's' || kind == L'd') && next != arguments.end()) {
            text += *next++;
        } else {
            text += L'%';
            text += kind;
        }
    }
    return text;
}

std::wstring FormatByteSize(std::int64_t bytes) {
    if (bytes >= 1048577) {
        wchar_t number[32];
        std::swprintf(number, 32, L"%.1f", bytes / 1048576.0);
        return number + platform::LoadText(IDS_MEGABYTES);
    }
    if (bytes >= 1025) return std::to_wstring(bytes / 1024) + platform::LoadText(IDS_KILOBYTES);
    return std::to_wstring(bytes);
}

std::wstring EstimateRemainingTime(const UploadJob& job, std::uint32_t nowTick) {
    // The rate is what this run sent: bytes counted by earlier runs, or found on the server when
    // a file was resumed, took no time of it.
    const std::int64_t sent = job.doneBytes - job.carriedBytes;
    if (sent <= 0) return platform::LoadText(IDS_TIME_UNKNOWN);
    const std::uint32_t elapsed = nowTick - job.startTick;
    const double estimate = static_cast<double>(job.totalBytes - job.doneBytes) / static_cast<double>(sent) * elapsed;
    // More bytes reported than the job had (a file that grew) leave nothing to wait for; the
    // upper bound only keeps the conversion defined (it is far beyond any real job).
    const double remainingMs = std::clamp(estimate, 0.0, 1e15);
    const auto remaining = static_cast<std::uint64_t>(remainingMs) / 1000;
    return TwoDigits(remaining / 3600) + L":" + TwoDigits(remaining % 3600 / 60) + L":" + TwoDigits(remaining % 60);
}

int ProgressPercent(const UploadJob& job) {
    if (job.totalBytes <= 0) return 0;  // no division by zero for a job without bytes
    const double percent =
        std::trunc((static_cast<double>(job.doneBytes) - 1.0) / static_cast<double>(job.totalBytes) * 100.0);
    return static_cast<int>(std::clamp(percent, 0.0, 99.0));
}

std::wstring ErrorInfoText(const CTaskResult& result, const UploadJob& job) {
    std::wstring text = platform::LoadText(IDS_INTERRUPTED);
    if (result.errorCode != 0)
        text += FormatErrorTitle(result.errorCode) + L"\r\n" + FormatErrorDescription(result.errorCode);
    else if (result.reply.code < 200 || result.reply.code > 299)
        text += result.reply.text;
    text += L"\r\n";
    if (job.doneBytes > 0) {
        const double share = job.totalBytes > 0
                                 ? static_cast<double>(job.doneBytes) / static_cast<double>(job.totalBytes) * 100.0
                                 : 0.0;
        text += FillText(platform::LoadText(IDS_AFTER_SHARE), {std::to_wstring(static_cast<int>(share))});
    } else {
        text += platform::LoadText(result.errorCode != 0 ? IDS_BEFORE_START_SETTINGS : IDS_BEFORE_START_EITHER);
    }
    if (!job.leftOut.empty())
        text += L"\r\n\r\n" + platform::LoadText(IDS_LEFT_OUT_WITH_ERROR) + LeftOutLines(job.leftOut);
    return text;
}

std::wstring LeftOutLines(const std::vector<LeftOutItem>& items) {
    std::wstring lines;
    const std::size_t shown = std::min(items.size(), kLeftOutLinesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        lines += L"\r\n" + items[i].localPath;
        if (items[i].errorCode != 0)
            lines += L" (" + FormatErrorTitle(static_cast<std::uint32_t>(items[i].errorCode)) + L")";
    }
    if (items.size() > shown)
        lines += L"\r\n" + FillText(platform::LoadText(IDS_LEFT_OUT_MORE), {std::to_wstring(items.size() - shown)});
    return lines;
}

std::wstring LeftOutReportText(const UploadJob& job) {
    return FillText(platform::LoadText(IDS_LEFT_OUT_REPORT), {job.destinationName}) + LeftOutLines(job.leftOut);
}
