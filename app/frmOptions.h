#pragma once
// "Varnello Options": the default prefix of the output table names the
// designer proposes, kept in the setting "OutputTablePrefix" ("VRNL_" when
// absent). OK writes the text only when it differs from the one loaded.
#include <QDialog>

class QLineEdit;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContextID = 330;
    static constexpr const char* DefaultPrefix = "VRNL_";

    explicit frmOptions(QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

    QLineEdit* txtDefaultPrefix() const { return m_txtDefaultPrefix; }

private:
    void LoadControls();
    void SaveOptionSettings();

    QLineEdit* m_txtDefaultPrefix = nullptr;
    QString m_tag; // the value loaded
};
