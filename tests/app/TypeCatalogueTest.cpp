// Every analysis type reaches the designer and the scenario list with what
// they showed and stored before they read the one catalogue of types: the
// type page's button and heading, the field page's frame and minimums, the
// options page, the Finish page's default names and second table, the
// list's option and filter, and the sort order a save stores. The expected
// values are written out here, as the pages and the list had them.
#include "AppTestSupport.h"

#include "app/frmStatMain.h"
#include "designer/CMelvarsPropWiz.h"
#include "designer/CWizPage.h"
#include "designer/OptionsPages.h"
#include "designer/frmQuorb_Create.h"
#include "designer/frmQuorb_Fields.h"
#include "designer/frmQuorb_Finish.h"
#include "engine/AnalysisCatalogue.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include <functional>
#include <memory>

namespace {

struct TypeRow {
    const char* type;
    // Type page: button index, caption and the heading it stands under.
    int button;
    const char* caption;
    const char* heading;
    const char* group;
    std::int16_t sort;
    // Field page: frame and the fewest group, compare, X and Y fields.
    int frame;
    frmQuorb_Fields::Minimum minimum;
    // Options page: number and class.
    long page;
    const char* pageClass;
    // Finish page: first name, first label and second name words; the
    // options that ask for the second table (none: never).
    const char* first;
    const char* label;
    const char* second;
    std::function<void(CMelvarsPropWiz&)> secondOn;
    // Scenario list: tab, option index and caption.
    int tab;
    int option;
    const char* listCaption;
};

// The heading beside the first button of the block that holds `button`.
QString HeadingOf(const frmQuorb_Create& page, QRadioButton* button) {
    auto* grid = qobject_cast<QGridLayout*>(page.findChild<QGroupBox*>(QStringLiteral("fraType"))->layout());
    int buttonRow = -1, row = 0, column = 0, span = 0;
    grid->getItemPosition(grid->indexOf(button), &buttonRow, &column, &span, &span);
    QString heading;
    int headingRow = -1;
    for (int i = 0; i < grid->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(grid->itemAt(i)->widget());
        if (!label) continue;
        grid->getItemPosition(i, &row, &column, &span, &span);
        if (row <= buttonRow && row > headingRow) {
            headingRow = row;
            heading = label->text();
        }
    }
    return heading;
}

using TypeCatalogue = apptest::AppFixture;

TEST_F(TypeCatalogue, EveryTypeReachesTheDesignerAndTheListAsBefore) {
    using W = CMelvarsPropWiz;
    const TypeRow rows[] = {
        {"Describe", 1, "&Describe", "Parametric", "P", 100, 1, {0, 0, 1, 0}, 4, "frmQuorb_Options_Describe",
         "Describe", "Describe", "", {}, 1, 2, "Describe"},
        // The label word was once misspelt "Freqency"; the page has said "Frequency" since.
        {"Frequency", 2, "&Frequency", "Parametric", "P", 200, 1, {0, 0, 1, 0}, 5, "frmQuorb_Options_Frequency",
         "Frequency", "Frequency", "", {}, 1, 3, "Frequency"},
        {"Percentiles", 3, "&Percentiles", "Parametric", "P", 300, 1, {0, 0, 1, 0}, 6, "frmQuorb_Options_Percentile",
         "Percentiles", "Percentiles", "", {}, 1, 4, "Percentiles"},
        {"Compare", 4, "Compar&e", "Parametric", "P", 400, 3, {0, 0, 1, 1}, 7, "frmQuorb_Options_Compare", "Compare",
         "Compare", "", {}, 1, 5, "Compare"},
        {"Matrix", 5, "&Matrix", "Parametric", "P", 500, 1, {0, 0, 1, 0}, 8, "frmQuorb_Options_Matrix", "Matrix",
         "Matrix", "", {}, 1, 6, "Matrix"},
        {"Regression", 6, "&Regression", "Parametric", "P", 600, 3, {0, 0, 1, 1}, 9, "frmQuorb_Options_Regress",
         "Regression", "Regression", "Residual", [](W& w) { w.SetResidual(true); }, 1, 7, "Regression"},
        // An empty cell letter is found within "CS" as well.
        {"Crosstab", 7, "&Crosstab", "Parametric", "P", 700, 5, {1, 1, 0, 0}, 10, "frmQuorb_Options_Crosstab",
         "Crosstab", "Crosstab", "Crosstab Chi-Square", [](W& w) { w.SetXChi(true); }, 1, 8, "Crosstab"},
        {"Two Sample t-Test", 20, "&Two Sample t-Test", "Group", "G", 100, 2, {0, 1, 1, 0}, 11,
         "frmQuorb_Options_Group", "Two Sample t-Test", "Two Sample t-Test", "Two Sample t-Test Details",
         [](W& w) { w.SetGroupDetail(true); }, 2, 2, "Two Sample t-Test"},
        {"ANOVA", 21, "&ANOVA", "Group", "G", 200, 2, {0, 1, 1, 0}, 11, "frmQuorb_Options_Group", "ANOVA", "ANOVA",
         "ANOVA Details", [](W& w) { w.SetGroupDetail(true); }, 2, 3, "ANOVA"},
        // The one type whose list caption is not its name.
        {"Two way ANOVA", 22, "Two &way ANOVA", "Group", "G", 300, 4, {0, 2, 1, 0}, 11, "frmQuorb_Options_Group",
         "Two Way ANOVA", "Two Way ANOVA", "Two Way ANOVA Details", [](W& w) { w.SetGroupDetail(true); }, 2, 4,
         "Two-Way ANOVA"},
        {"Chi-Square", 30, "Chi S&quare", "Non-Parametric", "N", 100, 6, {0, 0, 1, 0}, 12,
         "frmQuorb_Options_NP_ChiSquare", "Chi-Square", "Chi-Square", "Chi-Square Details",
         [](W& w) { w.SetChiDetail(true); }, 3, 2, "Chi-Square"},
        {"Sign Test", 31, "Si&gn Test", "Non-Parametric", "N", 200, 1, {0, 0, 1, 0}, 13,
         "frmQuorb_Options_NP_SignTest", "SignTest", "SignTest", "", {}, 3, 3, "Sign Test"},
        {"K-S Fit", 32, "&K-S Fit", "Non-Parametric", "N", 300, 1, {0, 0, 1, 0}, 14, "frmQuorb_Options_NP_KSFit",
         "K-S Fit", "K-S Fit", "", {}, 3, 4, "K-S Fit"},
        {"2 Sample", 33, "&2 Sample", "Non-Parametric", "N", 400, 2, {0, 1, 1, 0}, 15,
         "frmQuorb_Options_NP_TwoSample", "2 Sample", "2 Sample", "", {}, 3, 5, "2 Sample"},
        {"N Sample", 34, "N &Sample", "Non-Parametric", "N", 500, 2, {0, 1, 1, 0}, 16, "frmQuorb_Options_NP_NSample",
         "N Sample Kruskal", "N Sample Kruskal", "N Sample Kruskal Details",
         [](W& w) { w.SetNPKruskalDetail(true); }, 3, 6, "N Sample"},
        {"Paired Fields", 35, "Paired &Fields", "Non-Parametric", "N", 600, 3, {0, 0, 1, 1}, 17,
         "frmQuorb_Options_NP_PairedFields", "PairedFields", "PairedFields", "", {}, 3, 7, "Paired Fields"},
        // Friedman's test needs two X fields.
        {"N Fields", 36, "N &Fields", "Non-Parametric", "N", 700, 1, {0, 0, 2, 0}, 18, "frmQuorb_Options_NP_NFields",
         "N Fields Friedman", "N Fields Friedman", "N Fields Friedman Details",
         [](W& w) { w.SetNPFriedmanDetail(true); }, 3, 8, "N Fields"},
    };
    // Every type of the catalogue has its row, in the type page's order.
    ASSERT_EQ(AnalysisTypes().size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) ASSERT_EQ(AnalysisTypes()[i].name, rows[i].type) << i;

    frmQuorb_Create typePage;
    frmStatMain list;
    for (const TypeRow& r : rows) {
        SCOPED_TRACE(r.type);
        const std::string type = r.type;
        // Type page: the button, its heading, the wizard's type selecting it
        // and a user's click storing the type and its group.
        QRadioButton* button = typePage.optType(r.button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(r.caption));
        EXPECT_EQ(HeadingOf(typePage, button), QString::fromLatin1(r.heading));
        EXPECT_STREQ(frmQuorb_Create::TypeOfIndex(r.button), r.type);
        {
            CMelvarsPropWiz wiz;
            wiz.SetCalcType(type);
            frmQuorb_Create page;
            page.SetWiz(&wiz);
            EXPECT_TRUE(page.optType(r.button)->isChecked());
            EXPECT_FALSE(wiz.Changed());
        }
        {
            CMelvarsPropWiz wiz;
            frmQuorb_Create page;
            page.SetWiz(&wiz); // an empty type: Describe is chosen for it
            page.optType(r.button)->click();
            EXPECT_EQ(page.optType(1)->isChecked(), r.button == 1);
            EXPECT_EQ(wiz.CalcType(), type);
            EXPECT_EQ(wiz.Scenario_Type(), r.group);
        }
        EXPECT_EQ(CMelvarsPropWiz::GroupOfType(type), r.group);
        EXPECT_EQ(GetScenarioSort(type), r.sort);

        // Field page.
        EXPECT_EQ(frmQuorb_Fields::GetFieldFrame(type), r.frame);
        const frmQuorb_Fields::Minimum m = frmQuorb_Fields::FieldMinimum(type);
        EXPECT_EQ(m.group, r.minimum.group);
        EXPECT_EQ(m.comparison, r.minimum.comparison);
        EXPECT_EQ(m.x, r.minimum.x);
        EXPECT_EQ(m.y, r.minimum.y);

        // Options page.
        EXPECT_EQ(CMelvarsPropWiz::GetOptionsPageOf(type), r.page);
        EXPECT_TRUE(CMelvarsPropWiz::IsOptionsPage(r.page));
        const std::unique_ptr<CWizPage> options(CreateOptionsPage(r.page, nullptr));
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(options->objectName(), QString::fromLatin1(r.pageClass));

        // Finish page.
        const frmQuorb_Finish::OutputWords words = frmQuorb_Finish::WordsOf(type);
        EXPECT_EQ(words.first, r.first);
        EXPECT_EQ(words.label, r.label);
        EXPECT_EQ(words.second, r.second);
        CMelvarsPropWiz wiz;
        wiz.SetCalcType(type);
        EXPECT_FALSE(frmQuorb_Finish::HasSecondTable(wiz)); // every switch off
        if (r.secondOn) {
            r.secondOn(wiz);
            EXPECT_TRUE(frmQuorb_Finish::HasSecondTable(wiz));
        }

        // Scenario list.
        EXPECT_EQ(frmStatMain::TypeFilter(r.tab, r.option), QString::fromLatin1(r.type));
        ASSERT_NE(list.optAnalysisType(r.tab, r.option), nullptr);
        EXPECT_EQ(list.optAnalysisType(r.tab, r.option)->text(), QString::fromLatin1(r.listCaption));
    }
    // Each tab: "All" first, then its types, nothing after them.
    const int options[] = {0, 8, 4, 8};
    for (int tab = 1; tab <= 3; ++tab) {
        EXPECT_EQ(frmStatMain::TypeFilter(tab, 1), QStringLiteral("*")) << tab;
        EXPECT_EQ(list.optAnalysisType(tab, 1)->text(), QStringLiteral("All")) << tab;
        EXPECT_EQ(list.optAnalysisType(tab, options[tab] + 1), nullptr) << tab;
        EXPECT_EQ(frmStatMain::TypeFilter(tab, options[tab] + 1), QString()) << tab;
    }
}

// Names that are none of the types: the designer and the list know a type by
// its name as stored, letter case included (the field page ignores case).
TEST_F(TypeCatalogue, NamesThatAreNoTypeReachNoPageNoSortAndNoWords) {
    struct Row {
        const char* name;
        int frame; // the field page ignores letter case
        int minimumX;
        const char* why;
    } rows[] = {
        {"describe", 1, 1, "letter case counts for all but the field page"},
        {"Chi Square", 0, 0, "a blank instead of the hyphen"},
        {"", 0, 0, "no type"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(CMelvarsPropWiz::GetOptionsPageOf(r.name), 99);
        EXPECT_EQ(CMelvarsPropWiz::GroupOfType(r.name), "");
        EXPECT_EQ(GetScenarioSort(r.name), 0);
        EXPECT_EQ(frmQuorb_Fields::GetFieldFrame(r.name), r.frame);
        EXPECT_EQ(frmQuorb_Fields::FieldMinimum(r.name).x, r.minimumX);
        EXPECT_EQ(frmQuorb_Finish::WordsOf(r.name).first, "");
        CMelvarsPropWiz wiz;
        wiz.SetCalcType(r.name);
        wiz.SetXChi(true);
        wiz.SetResidual(true);
        EXPECT_FALSE(frmQuorb_Finish::HasSecondTable(wiz));
    }
    // Page numbers that are no type's options page.
    for (long page : {1L, 2L, 3L, 19L, 30L, 50L, 99L}) EXPECT_FALSE(CMelvarsPropWiz::IsOptionsPage(page)) << page;
}

} // namespace
