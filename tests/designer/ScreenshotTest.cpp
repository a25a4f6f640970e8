// Pictures of every designer page as the user sees it, filled for a stored
// scenario. Set VARNELLO_SCREENSHOT_DIR to keep them as PNG files (run under
// a real X server, e.g. xvfb-run with a window manager, for the platform's
// style and fonts).
#include "DesignerTestSupport.h"

#include "designer/OptionsPages.h"
#include "designer/TransferButton.h"
#include "designer/frmDataGridDialog.h"
#include "designer/frmIgnore.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "designer/frmQuorb_SelectTable.h"
#include "errors/ui/frmMsgBox.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>

namespace {

using dtest::DesignerTest;

class Screenshots : public DesignerTest {
protected:
    // Shows the window, lets it lay itself out, grabs it and keeps the file.
    void Shoot(QWidget& w, const QString& name) {
        w.show();
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const QPixmap grab = w.grab();
        const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
        if (!dir.isEmpty()) grab.save(QDir(dir).filePath(name + QStringLiteral(".png")));
        const QImage picture = grab.toImage();
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        EXPECT_EQ(picture.size() / picture.devicePixelRatio(), w.size()) << name.toStdString();
        w.hide();
    }
};

TEST_F(Screenshots, EveryPageOfTheDesigner) {
    dtest::Script script;
    CMelvarsPropWiz wiz;
    wiz.SetScenario_Type("P");
    wiz.SetCalcType("Regression");
    wiz.SetTable("Data");
    wiz.SetScenario_Description("Score against Score2");
    wiz.SetResidual(true);
    wiz.SetMissingType("2");
    wiz.SetMissingLow(dao::Variant(0.0));
    wiz.SetMissingHigh(dao::Variant(100.0));

    frmQuorb_Create create;
    create.SetWiz(&wiz);
    Shoot(create, QStringLiteral("1_frmQuorb_Create"));

    frmQuorb_SelectTable table;
    table.SetWiz(&wiz);
    table.tabSource()->setCurrentIndex(2);
    table.lvwTableQuery()->setCurrentItem(table.lvwTableQuery()->topLevelItem(0));
    Shoot(table, QStringLiteral("2_frmQuorb_SelectTable"));

    frmDataGridDialog viewer;
    script.Then([&](QDialog& d) { Shoot(d, QStringLiteral("2b_frmDataGridDialog")); });
    viewer.ShowTableData(QStringLiteral("Data"), QStringLiteral("Input table or query - "));

    struct FieldsShot {
        const char* type;
        std::vector<std::pair<const char*, const char*>> assign;
    };
    const FieldsShot shots[] = {
        {"Regression", {{"cmdTXYDep", "Score"}, {"cmdTXY", "Score2"}, {"cmdTXY", "Units"}, {"cmdTGroup", "Class"}}},
        {"Describe", {{"cmdTX", "Score"}, {"cmdTWeight", "Weight"}}},
        {"Two Sample t-Test", {{"cmdTCXComp", "Class"}, {"cmdTCX", "Score"}}},
        {"Two way ANOVA", {{"cmdTAnovaComp", "Class"}, {"cmdTAnovaComp", "Region"}, {"cmdTAnovaDep", "Score"}}},
        {"Crosstab", {{"cmdTGroup", "Class"}, {"cmdTXTabCol", "Region"}, {"cmdTXTab", "Units"}}},
        {"Chi-Square", {{"cmdTChi", "Region"}}},
    };
    for (const FieldsShot& s : shots) {
        CMelvarsPropWiz w;
        w.SetCalcType(s.type);
        w.SetTable("Data");
        w.SetScenario_Description(std::string(s.type) + " of the test data");
        frmQuorb_Fields fields;
        fields.SetWiz(&w);
        for (const auto& [control, field] : s.assign) dtest::Transfer(fields, control, 1, QString::fromLatin1(field));
        Shoot(fields, QStringLiteral("3_frmQuorb_Fields_%1").arg(QString::fromLatin1(s.type).remove(QLatin1Char(' '))));
    }

    frmIgnore ignore;
    ignore.SetWiz(&wiz);
    Shoot(ignore, QStringLiteral("3b_frmIgnore"));

    // Every options page, filled with the defaults of a new scenario's type.
    for (long number = 4; number <= 18; ++number) {
        std::unique_ptr<CWizPage> page(CreateOptionsPage(number, nullptr));
        ASSERT_NE(page, nullptr) << number;
        CMelvarsPropWiz w;
        w.SetInterV(10);
        w.SetRPoly(2);
        w.SetFreqGroupRadio("Default");
        page->SetWiz(&w);
        Shoot(*page, QStringLiteral("%1_%2").arg(number).arg(page->objectName()));
    }

    frmQuorb_SelectTable change;
    change.SetWiz(&wiz);
    change.MakeChangeSourceDialog();
    Shoot(change, QStringLiteral("3c_ChangeSource"));

    frmQuorb_Finish finish;
    finish.SetWiz(&wiz);
    Shoot(finish, QStringLiteral("50_frmQuorb_Finish"));

    TransferButton arrows;
    Shoot(arrows, QStringLiteral("TransferButton"));

    // The question before a table of data is replaced, No its default answer.
    {
        dtest::Script real(false);
        auto td = m_db->CreateTableDef("Sales");
        td->Fields().Append(td->CreateField("A", dao::dbLong));
        m_db->TableDefs().Append(td);
        frmQuorb_Finish page;
        page.SetWiz(&wiz);
        page.txtScenario_Output_Table1_Name()->setText(QStringLiteral("Sales"));
        bool noIsDefault = false;
        vtest::AnswerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<frmMsgBox*>(modal);
            if (!box) return;
            noIsDefault = box->ResponseButton(frmMsgBox::vbNo)->isDefault();
            const QPixmap grab = box->grab();
            const QString dir = qEnvironmentVariable("VARNELLO_SCREENSHOT_DIR");
            if (!dir.isEmpty()) grab.save(QDir(dir).filePath(QStringLiteral("50b_DataTableQuestion.png")));
            box->ResponseButton(frmMsgBox::vbNo)->click();
        });
        page.cmdNav(4)->click();
        EXPECT_TRUE(noIsDefault);
        EXPECT_TRUE(TableExists("Sales"));
    }
}

} // namespace
