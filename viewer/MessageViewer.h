#pragma once
// What reading a message needs of the window that shows it: the read
// command prepares it before the retrieval, hands it the retrieved message
// and then shows it. TAusgabeForm is the program's; a command without
// windows could write the message elsewhere.
struct TMailMessage;

class MessageViewer
{
public:
    virtual ~MessageViewer() = default;
    // Empty, in the catalog's texts, before a message is retrieved.
    virtual void prepareView() = 0;
    // Sender, subject, body, header lines and attachments of a message.
    virtual void fillFrom(const TMailMessage &message) = 0;
    // Lists the attachments and brings the viewer up.
    virtual void presentMessage() = 0;
};
