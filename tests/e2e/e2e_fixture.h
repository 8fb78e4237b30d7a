#pragma once

#include "check_server.h"
#include "program_run.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"
#include "window_driver.h"
#include "xvfb_display.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace velmora::e2e {

inline const QString kBoxTitle = QString::fromUtf8("提示");
inline const QString kWindowTitle = "Tessarine";

// Whole-program tests: one private X server per test program, shared by its tests.
class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static QString display();
    static const WindowDriver& driver();

private:
    static std::unique_ptr<testing::XvfbDisplay> display_;
    static std::unique_ptr<WindowDriver> driver_;
};

// A program run against the stand-in depot and the three services, which listen on the
// endpoints compiled into the build inside this process: a scene scripts what they
// answer and reads what they received.
class SceneTest : public ProgramTest {
protected:
    SceneTest();
    void SetUp() override;

    QStringList argumentsFor(const QString& change_id) const;
    // Starts the program and waits for its window, the end of start-up; returns the
    // window's id, or nothing when start-up did not end with the window in place.
    QString startWindow(ProgramRun& run, const QStringList& arguments) const;

    // The requests one of the services received, as "METHOD target".
    static std::vector<std::string> requestLines(const standin::StandInServer& server);
    std::vector<std::vector<std::string>> commandsNamed(const std::string& name) const;

    StandInDepot depot_;
    standin::CheckServer check_;
    standin::ReviewServer review_;
    standin::TagServer tags_;
};

} // namespace velmora::e2e
