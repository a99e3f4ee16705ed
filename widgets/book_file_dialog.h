#pragma once

#include <QFileDialog>

// The dialog that picks a book: Qt's own file dialog (it matches "*.txt" without regard to case,
// and tests can answer it), roomy enough for its columns, and Chinese in every column whatever
// locale the reader was started in.
class CBookFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit CBookFileDialog(QWidget* parent);
};
