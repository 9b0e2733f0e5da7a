#include "support/ProgramFixture.h"

#include <unistd.h>
#include <cstdio>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/platform/ListItemsModel.h"
#include "catalogue/MainModule.h"
#include "support/ChildProcess.h"

namespace talvane::test {

void ProgramTest::SetUp() {
    SetDesktop(&desktop);
    SetOnLastFormUnloaded([this] { ++programEnded; });
}

void ProgramTest::TearDown() {
    desktop.answers.clear();
    if (IsFrmMainLoaded()) Unload(frmMain());
    if (IsFrmPreviewLoaded()) Unload(frmPreview());
    // As Qt's own widget tests check: no window of any kind is left, once the deletions
    // asked for have run.
    const bool noneLeft = QTest::qWaitFor([] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return QApplication::topLevelWidgets().isEmpty();
    });
    QStringList left;
    for (QWidget* widget : QApplication::topLevelWidgets())
        left << QString::fromUtf8(widget->metaObject()->className()) + " \"" +
                    widget->windowTitle() + "\"";
    EXPECT_TRUE(noneLeft) << "windows left: " << left.join(", ").toStdString();
    SetDesktop(nullptr);
}

void ProgramTest::Start(const std::optional<std::string>& folder) {
    desktop.folders.push_back(folder);
    RunReportingScanFailure([] { talvane::Main(); });
    Flush();
    ActivateMain();
}

void ProgramTest::StartOnBanners(const TempFolder& folder, const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) folder.WriteBanner(names[i], int(i) + 1);
    Start(folder.Path());
}

void ProgramTest::ActivateMain() {
    if (!IsFrmMainLoaded() || QApplication::activeModalWidget()) return;
    if (QApplication::activeWindow() != &frmMain() && frmMain().isVisible()) {
        QApplication::setActiveWindow(&frmMain());
        Flush();
    }
}

void ProgramTest::Flush() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QAbstractItemView* ProgramTest::View() { return List().ActiveView(); }

QString ProgramTest::Panel(int index) { return frmMain().sbStatusBar->Panels(index).Text(); }

std::vector<QString> ProgramTest::Texts() {
    Flush();
    std::vector<QString> texts;
    for (const QModelIndex& row : RowsOf(List().Model())) texts.push_back(row.data().toString());
    return texts;
}

std::string ProgramTest::KeyOf(const QString& text) {
    Flush();
    QModelIndex index = RowWithText(List().Model(), text);
    if (index.isValid()) return List().Model()->Entry(ListItemsModel::SlotOf(index)).key;
    ADD_FAILURE() << "no entry " << text.toStdString();
    return {};
}

void ProgramTest::Click(const QString& text) {
    Flush();
    QModelIndex index = RowWithText(List().Model(), text);
    ASSERT_TRUE(index.isValid()) << "no entry " << text.toStdString();
    ActivateMain();
    View()->scrollTo(index);
    QRect rect = View()->visualRect(index);
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    Flush();
}

void ProgramTest::DoubleClick(const QString& text) {
    Flush();
    QModelIndex index = RowWithText(List().Model(), text);
    ASSERT_TRUE(index.isValid()) << "no entry " << text.toStdString();
    ActivateMain();
    View()->scrollTo(index);
    QPoint at = View()->visualRect(index).center();
    // A real double click: press, release, then the second press arrives as a double click.
    QTest::mousePress(View()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(View()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(View()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    Flush();
}

void ProgramTest::ClickEmptySpace() {
    ActivateMain();
    QWidget* viewport = View()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier,
                      QPoint(viewport->width() - 2, viewport->height() - 2));
    Flush();
}

void ProgramTest::Press(int key, Qt::KeyboardModifiers modifiers) {
    ActivateMain();
    QWidget* target = QApplication::focusWidget();
    if (!target) target = View();
    QTest::keyClick(target, Qt::Key(key), modifiers);
    Flush();
}

namespace {

QChar AccessKey(const QString& caption) {
    int amp = caption.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < caption.size() ? caption.at(amp + 1).toUpper() : QChar();
}

}  // namespace

void ProgramTest::ChooseMenu(QAction* item) {
    FrmMain& form = frmMain();
    QMenu* menu = nullptr;
    for (QMenu* candidate : {form.mnuFile, form.mnuView})
        if (candidate->actions().contains(item)) menu = candidate;
    ASSERT_NE(menu, nullptr);
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key(AccessKey(menu->title()).unicode()), Qt::AltModifier);
    Flush();
    ASSERT_TRUE(menu->isVisible()) << "the menu did not open";
    QChar access = AccessKey(item->text());
    if (!access.isNull()) {
        QTest::keyClick(menu, Qt::Key(access.unicode()));
    } else {
        // Walk down to the item as a user does without an access key.
        for (int step = 0; step < 20 && menu->activeAction() != item; ++step)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_EQ(menu->activeAction(), item);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    Flush();
}

QWidget* ProgramTest::Editor() {
    for (QLineEdit* edit : View()->viewport()->findChildren<QLineEdit*>())
        if (edit->isVisible()) return edit;
    return nullptr;
}

void ProgramTest::TypeIntoEditor(const QString& text) {
    QWidget* editor = Editor();
    ASSERT_NE(editor, nullptr) << "no in-place edit is open";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    bool typeable = std::all_of(text.begin(), text.end(),
                                [](QChar c) { return c.unicode() < 128 && c.isPrint(); });
    if (typeable)
        QTest::keyClicks(editor, text);
    else  // what the test keyboard cannot type is pasted
        static_cast<QLineEdit*>(editor)->insert(text);
}

namespace {

void PutBack(const char* name, const QByteArray& value) {
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

}  // namespace

ChildScratch::ChildScratch(const char* in)
    : tmp_(qgetenv("TMPDIR")), runtime_(qgetenv("XDG_RUNTIME_DIR")) {
    if (in && ::access(in, W_OK) == 0 && !tmp_.startsWith(QByteArray(in) + "/"))
        qputenv("TMPDIR", in);
    folder_.emplace();
    qputenv("TMPDIR", QByteArray::fromStdString(folder_->Path()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder_->Path()));
}

ChildScratch::~ChildScratch() {
    PutBack("TMPDIR", tmp_);
    PutBack("XDG_RUNTIME_DIR", runtime_);
}

void ProgramTest::RunThenExit(const std::function<void()>& half) {
    const ::testing::TestResult& result =
        *::testing::UnitTest::GetInstance()->current_test_info()->result();
    // What the test did before its death test, the child did again; only its own checks count.
    const int before = result.total_part_count();
    half();
    TearDown();
    bool failed = false;
    for (int i = before; i < result.total_part_count(); ++i) {
        const ::testing::TestPartResult& part = result.GetTestPartResult(i);
        if (!part.failed()) continue;
        failed = true;
        std::fprintf(stderr, "%s:%d: Failure\n%s\n", part.file_name() ? part.file_name() : "?",
                     part.line_number(), part.message());
    }
    std::fflush(nullptr);
    // Not exit(): the application object and the program's threads are still up, and the
    // static objects must not be torn down under them.
    ::_exit(failed ? 1 : 0);
}

int ProgramTest::RunDisabledTest(const QStringList& prefix, const char* name,
                                 const std::string& folder, QByteArray* standardError) {
    // A child that is killed leaves its temporary folders; they go with this one.
    const TempFolder scratch;
    std::vector<std::string> argv;
    for (const QString& word : prefix) argv.push_back(word.toStdString());
    argv.push_back(QCoreApplication::applicationFilePath().toStdString());
    argv.push_back(std::string("--gtest_filter=") + name);
    argv.push_back("--gtest_also_run_disabled_tests");
    ChildProcess child;
    if (!child.Start(argv,
                     {"TALVANE_TEST_FOLDER=" + folder, "TMPDIR=" + scratch.Path(),
                      "XDG_RUNTIME_DIR=" + scratch.Path()},
                     standardError ? ChildProcess::ErrorCaptured : ChildProcess::Forwarded))
        return -1;
    const int code = child.Wait(std::chrono::seconds(120));
    if (standardError) *standardError = QByteArray::fromStdString(child.Captured());
    return code;
}

}  // namespace talvane::test
