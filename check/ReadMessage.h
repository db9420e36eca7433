#pragma once
// Reading the message of the selected grid row into the viewer over the
// open connection of the single-account check: "read" leaves it on the
// server, "fetch" deletes it there after the retrieval (removed at QUIT).
class MainIndicators;
class CheckRun;
class MessageViewer;
class TPop3Client;

class ReadMessage
{
public:
    // Routes the retrieved message of the check run's end-of-retrieval
    // event into the viewer.
    ReadMessage(MainIndicators &show, TPop3Client &popMail, CheckRun &run, MessageViewer &viewer);

    // Retrieves the selected row's message and shows it; `fetch` also
    // deletes it on the server and marks the row "DEL". A failing retrieval
    // throws (the viewer is then not shown). Does nothing without a selected
    // row or while a retrieval is still running.
    void But_AbrufenClick(bool fetch);
    bool reading() const { return m_reading; }

private:
    MainIndicators &m_show;
    TPop3Client &m_popMail;
    CheckRun &m_run;
    MessageViewer &m_viewer;
    bool m_reading = false;
};
