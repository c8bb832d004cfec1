// The Qt window behind a fw::Dialog: builds the template's controls, turns user input into the
// dialog's commands and messages, and paints the grey background. Framework-internal.
#pragma once

#include "framework/DialogTemplate.h"
#include "framework/DialogUnits.h"

#include <QDialog>
#include <map>
#include <vector>

class QButtonGroup;

namespace fw {

class Dialog;

class DialogWindow : public QDialog {
    Q_OBJECT
public:
    DialogWindow(Dialog *owner, const DialogTemplate &tmpl, QWidget *parent);
    ~DialogWindow() override;

    QWidget *control(int id) const;
    ControlKind kindOf(int id) const;
    std::uint32_t styleOf(int id) const;
    const std::map<int, QWidget *> &controls() const { return controls_; }
    void detach() { owner_ = nullptr; } // the dialog object no longer listens
    Dialog *owner() const { return owner_; }
    int firstTabStop() const;
    int defaultButtonId() const;
    std::vector<int> radioGroupOf(int id) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override {} // Escape is handled as a command, never by QDialog itself
    void accept() override {}

private:
    void build(const DialogTemplate &tmpl);
    QWidget *makeControl(const ControlTemplate &c, QButtonGroup *&radioGroup);
    bool handleKey(QKeyEvent *event);

    Dialog *owner_;
    BaseUnits base_;
    std::map<int, QWidget *> controls_;
    std::map<int, const ControlTemplate *> templates_;
    std::vector<std::vector<int>> radioGroups_;
};

} // namespace fw
