#include "Orvane/engine/protocol/FTPCommandSequenceList.h"

#include "Orvane/engine/protocol/DataAddress.h"
#include "Orvane/engine/protocol/FTPCommandList.h"
#include "platform/TextCodec.h"

FTPReply CFTPCommandSequenceList::Run(std::wstring& listing) {
    CFTPCommand pasv("PASV");
    Queue(pasv);
    const FTPReply passive = RunCommands();
    CFTPCommandList list(DataAddressFor(Connection(), passive.text), m_command, Abort(), Connection().DataCredentials());
    Queue(list);
    const FTPReply reply = RunCommands();
    listing = platform::FromAnsi(list.Listing(), Connection().ReceivePage());
    return reply;
}
