#pragma once

#include <QApplication>

#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;
class CSingleInstance;
class QTimer;

// The application object: starts the reader and owns its main frame.
class CVeskaApp : public QApplication {
    Q_OBJECT
public:
    CVeskaApp(int& argc, char** argv);
    ~CVeskaApp() override;

    // Reads the command line; hands its book to the reader already running for this data
    // directory, or creates the main frame and its view, gives the view its first update, shows
    // the window and opens the book named on the command line. false ends the process with
    // StartUpExitCode(): 0 after the help, the version or a hand-over, 1 for a book that cannot
    // be opened, 2 for a usage error.
    bool InitInstance();
    // The same with a given command line (program name first).
    bool InitInstance(const QStringList& args);
    int StartUpExitCode() const { return m_nStartUpExitCode; }
    // What a later launch handed over: the window comes to the front and opens the book, if any
    // (once no dialog is open: a dialog may be editing what opening a book changes).
    void OnHandOver(const QStringList& args);
    void OnAppAbout();
    // Handles the commands the application owns; false for others.
    bool OnCommand(int id);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // Destroys the main frame (and with it the URL workers) before the process ends.
    void DestroyMainFrame();

    static CVeskaApp* Instance();

private:
    void OpenPendingBook();

    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<CSingleInstance> m_pSingleInstance;
    QStringList m_arguments;
    int m_nStartUpExitCode = 1;
    QString m_pendingBook;
    QTimer* m_pendingTimer = nullptr;
};
