#include "Orvane/engine/tasks/FTPEngine.h"

#include <utility>

CFTPEngine::CFTPEngine(FTPTimeouts timeouts) : m_runner(std::make_unique<CFTPTaskRunner>(timeouts)) {}

CFTPEngine::~CFTPEngine() = default;

void CFTPEngine::TestConnection(FTPSettings destination, platform::WindowRef notifyWindow) {
    m_runner->StartTestConnection(std::move(destination), notifyWindow);
}

void CFTPEngine::GetDirectoryContent(FTPSettings destination, platform::WindowRef notifyWindow) {
    m_runner->StartGetDirectoryContent(std::move(destination), notifyWindow);
}

CTaskResult CFTPEngine::CreateDirectoryAndWait(FTPSettings destination, std::wstring folderName,
                                               platform::Millis timeout) {
    return m_runner->CreateDirectoryAndWait(std::move(destination), std::move(folderName), timeout);
}

CTaskResult CFTPEngine::RenameDirectoryAndWait(FTPSettings destination, std::wstring oldName,
                                               std::wstring newName, platform::Millis timeout) {
    return m_runner->RenameDirectoryAndWait(std::move(destination), std::move(oldName), std::move(newName),
                                            timeout);
}

void CFTPEngine::Upload(FTPSettings destination, std::wstring jobKey, const UploadJob& job,
                        platform::WindowRef notifyWindow) {
    m_runner->StartUpload(std::move(destination), std::move(jobKey), job.files, notifyWindow);
}
