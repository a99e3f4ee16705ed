#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

// The application object: starts the reader and owns its main frame.
class CVeskaApp : public QApplication {
    Q_OBJECT
public:
    CVeskaApp(int& argc, char** argv);
    ~CVeskaApp() override;

    // Creates the main frame and its view, gives the view its first update and shows the window.
    // A file named on the command line must exist (it is not shown: only the reader's own
    // commands open books). false ends the process.
    bool InitInstance();
    // The same with a given command line (program name first).
    bool InitInstance(const QStringList& args);
    void OnAppAbout();
    // Handles the commands the application owns; false for others.
    bool OnCommand(int id);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    // Destroys the main frame (and with it the URL workers) before the process ends.
    void DestroyMainFrame();

    static CVeskaApp* Instance();

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
