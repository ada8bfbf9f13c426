#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "Orvane/app/UploadJob.h"

// The texts and numbers the job controller shows.

// A resource text with its "%s" and "%d" filled from `arguments` in order ("%d" arguments come
// already written as decimals) and "%%" as "%". Filled the same on every platform, unlike the
// C library's wide printf, whose "%s" differs between them.
std::wstring FillText(const std::wstring& format, std::initializer_list<std::wstring> arguments);

// "1.0MB" from 1048577 bytes on, "1KB" to "1024KB" from 1025 to 1048576, plain digits below.
std::wstring FormatByteSize(std::int64_t bytes);

// The time still needed at the rate this run has sent so far, "hh:mm:ss" (hours may take more
// digits); "unknown" before this run sent any byte, when there is no rate yet.
std::wstring EstimateRemainingTime(const UploadJob& job, std::uint32_t nowTick);

// The share done for the progress icon: (done - 1) / total in percent, truncated, within 0..99,
// so a finished job shows 99 and an empty one 0.
int ProgressPercent(const UploadJob& job);

class CTaskResult;

// What the error information dialog says: the interruption, the error (its code's texts, or a
// refusing reply's text), how far the job had got, and the items left out so far.
std::wstring ErrorInfoText(const CTaskResult& result, const UploadJob& job);

// The left-out items, each on a line of its own ("\r\n" before it): the local path and, when
// known, the error's title in brackets; the first 20, then "and N more".
std::wstring LeftOutLines(const std::vector<LeftOutItem>& items);

// The report after a job that succeeded without its left-out items: what was left out of the
// upload to which destination.
std::wstring LeftOutReportText(const UploadJob& job);
