// The Run Tests page of the Operations page (dialog 187): ten radio buttons
// choose a test, the Details text describes it, only the chosen test's own
// controls are shown, "Run Test" (or Enter) starts it and "Cancel Test"
// cancels a test build after asking.
//
// A test either builds a model (the block tests, the machine's own test
// model, the cube), runs a coded procedure in the progress dialog, or runs
// a technician script as a procedure. Every refusal is an error box and
// sends nothing.
#pragma once
#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class testsDlgTemplate;
}

namespace testsDlgId {
inline constexpr int trimTest = 1064;
inline constexpr int glueTest = 1065;
inline constexpr int cuttingKnifeTest = 1066;
inline constexpr int pensTakingTest = 1067;
inline constexpr int pensDrawingTest = 1068;
inline constexpr int blockTest = 1069;
inline constexpr int targetTest = 1070;
inline constexpr int pyramidTest = 1071;
inline constexpr int cubeTest = 1072;
inline constexpr int customTest = 1073;
inline constexpr int runTest = 1076;
inline constexpr int cancelTest = 1077;
inline constexpr int details = 1104;
inline constexpr int layers = 1105;
inline constexpr int length = 1106;
inline constexpr int testFile = 1109;
inline constexpr int browse = 1110;
inline constexpr int repeats = 1112;
}  // namespace testsDlgId

class testsDlg_t : public QDialog {
    Q_OBJECT
public:
    static constexpr int testCount = 10;
    // The script files in the slicer's folder and the names their runs show.
    static constexpr const wchar_t* targetScriptName = L"/Target_Test.txt";
    static constexpr const wchar_t* cubeModelName = L"/Cube.zs";

    explicit testsDlg_t(QWidget* parent = nullptr);
    ~testsDlg_t() override;

    // The repeat count 8; no test chosen, so no test's controls shown.
    bool onInitDialog();

    // A radio button was clicked: its Details text, and its controls alone.
    void onTestChosen(int testId);
    void runSelectedTest();
    void onCancelTest();
    void onBrowse();

    // The procedure creators (each behind the manual-command gate).
    void runPensTakingTest();
    void runCheckKnife();
    void runPensDrawingTest();
    void runScriptFileTest(const std::wstring& name, const std::wstring& path);
    void buildBlockTest();
    void runCubeTest();

    // --- what tests and the Operations page read -----------------------------
    // Checks a test's radio button as a click does (0: none).
    void chooseTest(int testId);
    int chosenTest() const;
    std::wstring detailsText() const { return details_; }
    std::wstring controlText(int controlId) const;
    void setControlText(int controlId, const std::wstring& text);
    bool isControlShown(int controlId) const;

    // Enter runs the chosen test; Escape leaves the page alone.
    void accept() override { runSelectedTest(); }
    void reject() override {}

protected:
    // A dialog without a default button does nothing with Enter by itself.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showTestControls(int testId);
    // The empty model written and handed over; the system's error otherwise.
    void buildEmptyModel(std::int32_t layers, std::int32_t lengthMm);

    std::unique_ptr<Ui::testsDlgTemplate> ui_;
    // Each test's own controls, by test (radio 1064 first).
    std::array<std::vector<int>, testCount> controls_;
    std::wstring details_;
};
