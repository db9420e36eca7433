#pragma once
// Reading the message of the selected grid row into the viewer over the
// open connection of the single-account check: "read" leaves it on the
// server, "fetch" deletes it there after the retrieval (removed at QUIT).
struct AppServices;
class MainIndicators;
class CheckRun;
class TAusgabeForm;
class TKvLanguage;
class TPop3Client;

class ReadMessage
{
public:
    // Hands the viewer what it works with and routes the retrieved message
    // of the check run's end-of-retrieval event into it.
    ReadMessage(AppServices &app, const TKvLanguage &catalog, MainIndicators &show, TPop3Client &popMail,
                CheckRun &run, TAusgabeForm &viewer);

    // Retrieves the selected row's message and shows it; `fetch` also
    // deletes it on the server and marks the row "DEL". A failing retrieval
    // throws (the viewer is then not shown). Does nothing without a selected
    // row or while a retrieval is still running.
    void But_AbrufenClick(bool fetch);
    bool reading() const { return m_reading; }

private:
    AppServices &m_app;
    MainIndicators &m_show;
    TPop3Client &m_popMail;
    CheckRun &m_run;
    TAusgabeForm &m_viewer;
    bool m_reading = false;
};
