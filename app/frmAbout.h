#pragma once
// The about box: the application's title and the product version recorded
// in the setting "Version" (SOFTWARE\ZUR\Varnello Demo\5.0), or the version
// of this program when nothing has recorded one.
#include <QDialog>

class QLabel;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContextID = 340;

    explicit frmAbout(QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdHelp_Click();

    QLabel* lblTitle() const { return m_lblTitle; }
    QLabel* lblVersion() const { return m_lblVersion; }

private:
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
};
