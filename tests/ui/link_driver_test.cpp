// The link driver without a window, on the link tests' fake listing and port: it starts and ticks the link,
// passes the link's events on as signals in the order the link reported them, once its call has returned,
// and after Stop nothing of it runs any more. The status bar follows it on its own.
#include "ui/link_driver.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/protocol_codes.h"
#include "link/response_frames.h"
#include "ui/link_status_bar.h"
#include "ui_test_support.h"

namespace tessarin::test {
namespace {

constexpr int kPatienceMs = 20000;

struct FakeDriver {
    FakeLine line;
    std::unique_ptr<LinkDriver> driver;
};

// A driver on a fake line whose adapter is listed as COM3 and whose port answers every poll.
FakeDriver makeAnsweredDriver() {
    FakeDriver made;
    auto listing = std::make_unique<FakePortListing>();
    auto port = std::make_unique<FakeCommPort>();
    listing->SetVcp(0, "COM3");
    port->OpenAnything();
    made.line = {listing.get(), port.get()};
    FakeCommPort* answering = port.get();
    port->OnWrite([answering](const std::vector<std::uint8_t>& request) {
        if (request.size() > 1 && request[1] == kReqPoll) {
            answering->Deliver(ResponseFrame(kRespNowValue, std::vector<std::uint8_t>(24, 0x00)));
        }
    });
    made.driver = std::make_unique<LinkDriver>(std::move(listing), HandOver(std::move(port)));
    return made;
}

TEST(LinkDriver, StartsTheLinkAndPassesItsEventsOnInOrder) {
    FakeDriver made = makeAnsweredDriver();
    LinkDriver& driver = *made.driver;
    LinkStatusBar bar(TestPictureFolder());
    bar.Follow(driver);
    std::vector<std::string> heard;
    // Whoever hears a signal may open a message box or place a command: never from inside the link's call.
    int insideLinkCall = 0;
    const auto hear = [&](std::string what) {
        insideLinkCall += driver.InLinkCall() ? 1 : 0;
        heard.push_back(std::move(what));
    };
    QObject::connect(&driver, &LinkDriver::linkUp, [&] { hear("linkUp"); });
    QObject::connect(&driver, &LinkDriver::requestSent, [&](std::uint8_t code, bool accepted) {
        hear(code == kReqPoll && accepted ? "poll" : "request");
    });
    QObject::connect(&driver, &LinkDriver::frameReceived,
                     [&](const QByteArray& /*frame*/, bool valid) { hear(valid ? "frame" : "bad frame"); });
    QObject::connect(&driver, &LinkDriver::valuesStaleChanged, [&](bool stale) { hear(stale ? "stale" : "fresh"); });
    QObject::connect(&driver, &LinkDriver::passEnded, [&] { insideLinkCall += driver.InLinkCall() ? 1 : 0; });
    QObject::connect(&driver, &LinkDriver::nowValueReceived, [&](const NowValueRecord& now) {
        hear("answer");
        EXPECT_NE(now.Numbers.receivedAt, std::chrono::system_clock::time_point{}) << "stamped before it is heard";
    });

    // Made but not started: nothing is searched, opened or written, and no timer runs.
    auto* connectTimer = driver.findChild<QTimer*>(QStringLiteral("tmrComConnect"));
    ASSERT_NE(connectTimer, nullptr);
    EXPECT_FALSE(connectTimer->isActive());
    EXPECT_EQ(driver.Link().Data().PortNo, -1);
    QTest::qWait(150);
    EXPECT_TRUE(made.line.port->Writes().empty());

    driver.Start();
    EXPECT_EQ(driver.Link().Data().PortNo, 3);
    EXPECT_TRUE(connectTimer->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !driver.ValuesStale(); }, kPatienceMs));
    const std::vector<std::string> first(heard.begin(), heard.begin() + std::min<std::size_t>(heard.size(), 5));
    EXPECT_EQ(first, (std::vector<std::string>{"linkUp", "poll", "frame", "fresh", "answer"}));
    EXPECT_EQ(insideLinkCall, 0);
    EXPECT_EQ(bar.Panel(1)->text(), QStringLiteral("ON LINE"));
    EXPECT_TRUE(driver.LastAnswerTime().isValid());
}

TEST(LinkDriver, AfterStopNoTimerTicksAndNothingIsWritten) {
    FakeDriver made = makeAnsweredDriver();
    LinkDriver& driver = *made.driver;
    driver.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !driver.ValuesStale(); }, kPatienceMs));
    driver.Stop();
    for (const QTimer* timer : driver.findChildren<QTimer*>()) {
        EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
    }
    const std::size_t written = made.line.port->Writes().size();
    int events = 0;
    QObject::connect(&driver, &LinkDriver::requestSent, [&] { ++events; });
    QObject::connect(&driver, &LinkDriver::passEnded, [&] { ++events; });
    QTest::qWait(600);  // more than five connect ticks: a poll would have gone
    EXPECT_EQ(made.line.port->Writes().size(), written);
    EXPECT_EQ(events, 0);
}

}  // namespace
}  // namespace tessarin::test
