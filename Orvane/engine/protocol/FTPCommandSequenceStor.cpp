#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"

#include "Orvane/engine/protocol/DataAddress.h"
#include "Orvane/engine/protocol/FTPCommandSTOR.h"

FTPReply CFTPCommandSequenceStor::Run(const std::wstring& localPath, const std::string& remoteName,
                                      platform::WindowRef progressWindow) {
    RequireSafeArgument(remoteName);  // before PASV: nothing goes out for a name we refuse
    CFTPCommand pasv("PASV");
    Queue(pasv);
    const FTPReply passive = RunCommands();
    CFTPCommandSTOR stor(localPath, remoteName, progressWindow, DataAddressFor(Connection(), passive.text), Abort(),
                         Connection().DataCredentials());
    Queue(stor);
    return RunCommands();
}
