// How the link tells the window what happened. The window implements it and decides what to show (texts,
// lamps, pictures); tests record the calls. Every call is made from a core operation the window called and
// returns at once; an implementation must not call back into the link.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace tessarin {

// Why a supervision tick ended without a link.
enum class LinkDownReason {
    NotListed,   // no adapter is listed
    OpenFailed,  // the listed port could not be opened
    Unplugged,   // the open port left the list, and no port could be opened again at once
};

class LinkEvents {
  public:
    LinkEvents() = default;
    LinkEvents(const LinkEvents&) = delete;
    LinkEvents& operator=(const LinkEvents&) = delete;
    LinkEvents(LinkEvents&&) = delete;
    LinkEvents& operator=(LinkEvents&&) = delete;
    virtual ~LinkEvents() = default;

    // The unit's port was opened.
    virtual void LinkUp() {}
    // A supervision tick ended without a link.
    virtual void LinkDown(LinkDownReason /*reason*/) {}
    // The open port left the list and was closed.
    virtual void PortLost() {}
    // A request with this command code was written; `accepted` when the port took all of it.
    virtual void RequestSent(std::uint8_t /*code*/, bool /*accepted*/) {}
    // A frame was extracted from the bytes read; `valid` when its checksum held and it was routed.
    virtual void FrameReceived(std::span<const std::uint8_t> /*frame*/, bool /*valid*/) {}
    // A receive pass that extracted at least one frame has ended.
    virtual void PassEnded() {}
    // A receive tick had nothing to read from: the link is down.
    virtual void ReceiveStopped() {}
    // The answer to a request with this code did not come in time: a poll slot found the last poll
    // unanswered (code 00h), or a log record request timed out.
    virtual void AnswerOverdue(std::uint8_t /*code*/) {}
    // A log collection was aborted or failed: the lamps' blinking starts again from dark.
    virtual void CollectionStopped() {}
    // The port went away before a placed settings write (03h) or initialise (07h) was sent: it was taken back
    // and will not be sent.
    virtual void CommandTakenBack(std::uint8_t /*code*/) {}
    // The connect tick's pace was set (UnitLink::ConnectInterval): 10 ms as a log collection starts, 100 ms
    // as it ends. Applied here, the new interval counts from inside the call that set it, as the first record
    // request's moment needs.
    virtual void ConnectIntervalChanged(std::chrono::milliseconds /*interval*/) {}
};

}  // namespace tessarin
