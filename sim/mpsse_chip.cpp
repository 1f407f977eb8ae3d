#include "sim/mpsse_chip.h"

#include <algorithm>

#include "sim/board.h"

namespace ravlen::sim {

namespace {

constexpr uint8_t kClockBit = 0x01;
constexpr uint8_t kDataOutBit = 0x02;
constexpr uint8_t kDataInBit = 0x04;
constexpr uint8_t kTmsBit = 0x08;

// Shifting opcodes carry their options in their bits.
constexpr uint8_t kBitMode = 0x02;
constexpr uint8_t kReadOnFalling = 0x04;
constexpr uint8_t kLsbFirst = 0x08;
constexpr uint8_t kWriteData = 0x10;
constexpr uint8_t kReadData = 0x20;
constexpr uint8_t kWriteTms = 0x40;

bool IsShiftCommand(uint8_t op) {
    if (op & 0x80)
        return false;
    if (op & kWriteTms)
        return (op & (kBitMode | kLsbFirst)) == (kBitMode | kLsbFirst) && !(op & kWriteData);
    return (op & (kWriteData | kReadData)) != 0;
}

}  // namespace

void MpsseChip::PowerUp() {
    m_mpsse = false;
    m_lowLatch = m_lowDir = m_highLatch = m_highDir = 0;
    m_loopback = false;
    m_divideBy5 = true;
    m_threePhase = false;
    m_adaptive = false;
    m_divisor = 0xFFFF;
    m_pending.clear();
    m_rx.clear();
    latencyMs = 16;
    readTimeoutMs = 0;
    writeTimeoutMs = 0;
    Propagate();
}

bool MpsseChip::SetBitMode(uint8_t mode) {
    if (mode != 0x00 && mode != 0x02)
        return false;
    m_pending.clear();
    if (mode == 0x02) {
        // Entering MPSSE starts the engine afresh with every line an input.
        m_lowLatch = m_lowDir = m_highLatch = m_highDir = 0;
        m_loopback = false;
        m_divideBy5 = true;
        m_threePhase = false;
        m_adaptive = false;
    }
    m_mpsse = mode == 0x02;
    Propagate();
    return true;
}

uint8_t MpsseChip::LowLevels() const {
    uint8_t dir = m_mpsse ? m_lowDir : 0;
    uint8_t inputs = m_board ? m_board->LowInputs() : 0;
    return static_cast<uint8_t>((m_lowLatch & dir) | (inputs & ~dir));
}

uint8_t MpsseChip::HighLevels() const {
    uint8_t dir = m_mpsse ? m_highDir : 0;
    uint8_t inputs = m_board ? m_board->HighInputs() : 0;
    return static_cast<uint8_t>((m_highLatch & dir) | (inputs & ~dir));
}

double MpsseChip::ClockHz() const {
    double base = m_divideBy5 ? 12e6 : 60e6;
    return base / ((1.0 + m_divisor) * 2.0);
}

void MpsseChip::Propagate() {
    if (m_board)
        m_board->Drive(LowLevels(), HighLevels());
}

size_t MpsseChip::ReadyBy(uint64_t timeUs) const {
    // Bytes leave in order, so only the ready front of the queue counts.
    size_t n = 0;
    while (n < m_rx.size() && m_rx[n].readyUs <= timeUs)
        ++n;
    return n;
}

size_t MpsseChip::Take(uint8_t* out, size_t maxBytes, uint64_t byUs) {
    size_t n = std::min(ReadyBy(byUs), maxBytes);
    for (size_t i = 0; i < n; ++i) {
        out[i] = m_rx.front().value;
        m_rx.pop_front();
    }
    return n;
}

void MpsseChip::Answer(uint8_t byte, uint64_t nowUs, uint64_t latencyUs) {
    m_rx.push_back({byte, nowUs + latencyUs});
}

void MpsseChip::Write(const uint8_t* data, size_t length, uint64_t nowUs, uint64_t latencyUs) {
    if (!m_mpsse || length == 0)
        return;
    m_pending.insert(m_pending.end(), data, data + length);
    size_t at = 0;
    while (at < m_pending.size()) {
        size_t n = CommandLength(at);
        if (n == 0)
            break;  // the rest of this command comes with a later write
        Execute(at, nowUs, latencyUs);
        at += n;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(at));
}

size_t MpsseChip::CommandLength(size_t at) const {
    uint8_t op = m_pending[at];
    size_t avail = m_pending.size() - at;
    auto need = [avail](size_t n) { return avail >= n ? n : 0; };
    switch (op) {
        case 0x80:
        case 0x82:
        case 0x86:
        case 0x8F:
        case 0x9E:
            return need(3);
        case 0x8E:
            return need(2);
        default:
            break;
    }
    if (!IsShiftCommand(op))
        return 1;
    bool write = op & (kWriteData | kWriteTms);
    if (op & kWriteTms)
        return need(3);
    if (op & kBitMode)
        return need(write ? 3 : 2);
    if (avail < 3)
        return 0;
    size_t bytes = (m_pending[at + 1] | (m_pending[at + 2] << 8)) + 1u;
    return need(3 + (write ? bytes : 0));
}

void MpsseChip::Execute(size_t at, uint64_t nowUs, uint64_t latencyUs) {
    uint8_t op = m_pending[at];
    const uint8_t* args = m_pending.data() + at + 1;
    switch (op) {
        case 0x80:
            m_lowLatch = args[0];
            m_lowDir = args[1];
            Propagate();
            return;
        case 0x82:
            m_highLatch = args[0];
            m_highDir = args[1];
            Propagate();
            return;
        case 0x81:
            Answer(LowLevels(), nowUs, latencyUs);
            return;
        case 0x83:
            Answer(HighLevels(), nowUs, latencyUs);
            return;
        case 0x84:
            m_loopback = true;
            return;
        case 0x85:
            m_loopback = false;
            return;
        case 0x86:
            m_divisor = static_cast<uint16_t>(args[0] | (args[1] << 8));
            return;
        case 0x87:
            for (auto& b : m_rx)
                b.readyUs = std::min(b.readyUs, nowUs);
            return;
        case 0x8A:
            m_divideBy5 = false;
            return;
        case 0x8B:
            m_divideBy5 = true;
            return;
        case 0x8C:
            m_threePhase = true;
            return;
        case 0x8D:
            m_threePhase = false;
            return;
        case 0x96:
            m_adaptive = true;
            return;
        case 0x97:
            m_adaptive = false;
            return;
        case 0x8E:
            for (unsigned i = 0; i <= args[0]; ++i)
                ClockBit(false, false, false);
            return;
        case 0x8F: {
            unsigned bytes = (args[0] | (args[1] << 8)) + 1u;
            for (unsigned i = 0; i < bytes * 8; ++i)
                ClockBit(false, false, false);
            return;
        }
        case 0x9E:
            return;  // open-drain selection: the board has no shared lines that need it
        default:
            break;
    }
    if (IsShiftCommand(op)) {
        DataCommand(op, args, nowUs, latencyUs);
        return;
    }
    // The chip's answer to an opcode it does not know.
    Answer(0xFA, nowUs, latencyUs);
    Answer(op, nowUs, latencyUs);
}

bool MpsseChip::ClockBit(bool writeBit, bool setData, bool sampleOnFalling) {
    if (setData) {
        m_lowLatch = static_cast<uint8_t>((m_lowLatch & ~kDataOutBit) | (writeBit ? kDataOutBit : 0));
        Propagate();
    }
    // One clock pulse away from the idle level and back; the input is sampled
    // before the devices react to the sampling edge.
    bool idle = m_lowLatch & kClockBit;
    bool sampled = false;
    for (int half = 0; half < 2; ++half) {
        bool level = half == 0 ? !idle : idle;
        if (!level == sampleOnFalling) {
            sampled = m_loopback ? (m_lowLatch & kDataOutBit) != 0 : (LowLevels() & kDataInBit) != 0;
        }
        m_lowLatch = static_cast<uint8_t>((m_lowLatch & ~kClockBit) | (level ? kClockBit : 0));
        Propagate();
    }
    return sampled;
}

void MpsseChip::DataCommand(uint8_t op, const uint8_t* args, uint64_t nowUs, uint64_t latencyUs) {
    bool lsbFirst = op & kLsbFirst;
    bool write = op & kWriteData;
    bool read = op & kReadData;
    bool readFalling = op & kReadOnFalling;

    auto shiftIn = [lsbFirst](uint8_t value, bool bit) {
        return lsbFirst ? static_cast<uint8_t>((value >> 1) | (bit ? 0x80 : 0))
                        : static_cast<uint8_t>((value << 1) | (bit ? 1 : 0));
    };
    auto bitOf = [lsbFirst](uint8_t value, unsigned k) {
        return lsbFirst ? ((value >> k) & 1) != 0 : ((value >> (7 - k)) & 1) != 0;
    };

    if (op & kWriteTms) {
        // TMS bits go out LSB first; bit 7 of the byte is held on the data line.
        unsigned bits = std::min<unsigned>(args[0] + 1u, 7u);
        uint8_t data = args[1];
        uint8_t in = 0;
        for (unsigned k = 0; k < bits; ++k) {
            m_lowLatch = static_cast<uint8_t>((m_lowLatch & ~kTmsBit) | (((data >> k) & 1) ? kTmsBit : 0));
            bool bit = ClockBit((data & 0x80) != 0, true, readFalling);
            in = static_cast<uint8_t>((in >> 1) | (bit ? 0x80 : 0));
        }
        if (read)
            Answer(in, nowUs, latencyUs);
        return;
    }
    if (op & kBitMode) {
        unsigned bits = std::min<unsigned>(args[0] + 1u, 8u);
        uint8_t data = write ? args[1] : 0;
        uint8_t in = 0;
        for (unsigned k = 0; k < bits; ++k)
            in = shiftIn(in, ClockBit(bitOf(data, k), write, readFalling));
        if (read)
            Answer(in, nowUs, latencyUs);
        return;
    }
    unsigned bytes = (args[0] | (args[1] << 8)) + 1u;
    for (unsigned i = 0; i < bytes; ++i) {
        uint8_t data = write ? args[2 + i] : 0;
        uint8_t in = 0;
        for (unsigned k = 0; k < 8; ++k)
            in = shiftIn(in, ClockBit(bitOf(data, k), write, readFalling));
        if (read)
            Answer(in, nowUs, latencyUs);
    }
}

}  // namespace ravlen::sim
