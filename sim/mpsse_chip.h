// One interface of the dual-interface USB chip: bit mode, latency timer,
// time-outs, the low and high line bytes and the MPSSE command interpreter,
// with the answer queue that FT_Read drains.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace ravlen::sim {

class Board;

class MpsseChip {
public:
    // board may be null: an interface with nothing attached.
    explicit MpsseChip(Board* board) : m_board(board) {}

    // Power-on state: reset bit mode, default timer and time-outs, empty queues.
    void PowerUp();

    bool SetBitMode(uint8_t mode);
    uint8_t BitMode() const { return m_mpsse ? 0x02 : 0x00; }
    bool Mpsse() const { return m_mpsse; }

    // Runs the bytes as MPSSE commands (discarded outside MPSSE mode). Answers
    // become readable latencyUs after now, or at once after a Send Immediate.
    void Write(const uint8_t* data, size_t length, uint64_t nowUs, uint64_t latencyUs);

    size_t Queued() const { return m_rx.size(); }
    size_t ReadyBy(uint64_t timeUs) const;
    // Ready time of the byte at position i of the queue.
    uint64_t ReadyTime(size_t i) const { return m_rx[i].readyUs; }
    size_t Take(uint8_t* out, size_t maxBytes, uint64_t byUs);
    void PurgeRx() { m_rx.clear(); }
    void PurgeTx() { m_pending.clear(); }

    uint8_t LowLevels() const;
    uint8_t HighLevels() const;

    uint8_t latencyMs = 16;
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;

    double ClockHz() const;

private:
    size_t CommandLength(size_t at) const;  // 0 = not complete yet
    void Execute(size_t at, uint64_t nowUs, uint64_t latencyUs);
    void DataCommand(uint8_t op, const uint8_t* args, uint64_t nowUs, uint64_t latencyUs);
    bool ClockBit(bool writeBit, bool setData, bool sampleOnFalling);
    void Propagate();
    void Answer(uint8_t byte, uint64_t nowUs, uint64_t latencyUs);

    Board* m_board;
    bool m_mpsse = false;
    uint8_t m_lowLatch = 0, m_lowDir = 0;
    uint8_t m_highLatch = 0, m_highDir = 0;
    bool m_loopback = false;
    bool m_divideBy5 = true;
    bool m_threePhase = false;
    bool m_adaptive = false;
    uint16_t m_divisor = 0xFFFF;
    std::vector<uint8_t> m_pending;
    struct RxByte {
        uint8_t value;
        uint64_t readyUs;
    };
    std::deque<RxByte> m_rx;
};

}  // namespace ravlen::sim
