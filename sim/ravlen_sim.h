/* Control interface of the simulated controller board.
 *
 * The simulator library exports the D2XX entry points (declared in
 * device/d2xx_api.h) plus the functions below, which configure the board,
 * inject faults, set the time source and expose what the board saw. Every
 * function is safe to call from any thread; none may be called from inside a
 * clock callback.
 *
 * Indexes: "index" arguments name a controller (0 = first listed). The board
 * truth functions report the observed controller, controller 0 unless
 * ravlen_sim_observe() chose another. */
#ifndef RAVLEN_SIM_RAVLEN_SIM_H
#define RAVLEN_SIM_RAVLEN_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define RAVLEN_SIM_API __attribute__((visibility("default")))
#else
#define RAVLEN_SIM_API
#endif

/* ---- Board configuration ------------------------------------------------ */

/* One default controller, no faults, no overrides, empty record, real clock,
 * read latency emulation off, default noise. Open handles become invalid. */
RAVLEN_SIM_API void ravlen_sim_reset(void);
/* 0..64 controllers; new ones get the defaults (description "Ravlen Controller",
 * serial digits 00012345 + their index, model code 3, interlock closed). */
RAVLEN_SIM_API void ravlen_sim_set_controller_count(int n);
RAVLEN_SIM_API int ravlen_sim_controller_count(void);
/* NULL keeps the current text. The listing shows description + " A" / " B"
 * and serial digits + "A" / "B". */
RAVLEN_SIM_API void ravlen_sim_set_controller(int index, const char* description, const char* serialDigits);
RAVLEN_SIM_API void ravlen_sim_set_model_code(int index, int code); /* 0..3 */
RAVLEN_SIM_API void ravlen_sim_set_interlock(int index, int closed);
/* Output = setpoint x gain on both channels; 1.0 = none. Until set, the gain is
 * 0.98 for serial numbers below 10000 and 1.0 otherwise. */
RAVLEN_SIM_API void ravlen_sim_set_gain(int index, double gain);
/* Gaussian ripple on the monitor signals while the supply runs, in kV and uA;
 * 0 = none. The same seed gives the same sequence. */
RAVLEN_SIM_API void ravlen_sim_set_noise(double kvSigma, double uaSigma, unsigned seed);
/* A single-interface chip: one entry, description and serial without suffix. */
RAVLEN_SIM_API void ravlen_sim_set_single_interface(int index, int single);
/* Unplugging removes the controller from the listing, powers its board down and
 * makes its open handles answer FT_IO_ERROR; replugging brings it back fresh. */
RAVLEN_SIM_API void ravlen_sim_unplug(int index);
RAVLEN_SIM_API void ravlen_sim_replug(int index);
/* The supply's ready line (Port0 bit 7) drops and the supply stays off while
 * faulted. */
RAVLEN_SIM_API void ravlen_sim_set_supply_fault(int index, int faulted);
/* Which controller the board truth functions below describe. */
RAVLEN_SIM_API void ravlen_sim_observe(int index);

/* Raw listing override for hostile-data tests: count, and raw 64-byte
 * description and serial images per interface (no terminator guaranteed).
 * Listing calls copy the images as they are; entry i opens the i-th real
 * interface when there is one. serial may be NULL (all zero images). Pass NULL
 * as desc to clear. */
RAVLEN_SIM_API void ravlen_sim_set_raw_listing(unsigned count, const unsigned char (*desc)[64],
                                               const unsigned char (*serial)[64]);

/* ---- Chaos ---------------------------------------------------------------- */

/* Hostile device data, reproducible from the seed. With RAVLEN_SIM_CHAOS_READS
 * every byte an FT_Read returns (converter, sensor and port answers alike) is
 * replaced by a random one; the count returned is unchanged. With
 * RAVLEN_SIM_CHAOS_LISTING the listing becomes a raw listing (see
 * ravlen_sim_set_raw_listing) of 0..1000 entries whose 64-byte description and
 * serial images are random: any byte value, often no terminator, sometimes
 * all 64 bytes used, sometimes digits first. Entry 0 still opens the first
 * real interface. what = 0 (or a reset) ends chaos and restores the plain
 * listing. */
#define RAVLEN_SIM_CHAOS_READS 1u
#define RAVLEN_SIM_CHAOS_LISTING 2u
RAVLEN_SIM_API void ravlen_sim_set_chaos(unsigned seed, unsigned what);
/* Number of entries of the current listing (the raw one when set). */
RAVLEN_SIM_API unsigned ravlen_sim_listing_count(void);

/* ---- Faults --------------------------------------------------------------- */

/* The nth call from now (1 = next) of the named entry point ("FT_Write", ...)
 * returns status without doing anything. Several rules may be pending. */
RAVLEN_SIM_API void ravlen_sim_fail_call(const char* entry, unsigned nth, uint32_t status);
/* The nth FT_Read from now returns FT_OK with at most `bytes` bytes after the
 * read time-out; the rest stays queued. */
RAVLEN_SIM_API void ravlen_sim_short_read(unsigned nth, unsigned bytes);
RAVLEN_SIM_API void ravlen_sim_clear_faults(void);

/* ---- Input overrides ------------------------------------------------------ */

/* The monitor converter sees exactly these volts on channel 0 (HV) or 1
 * (current); NaN clears the override. */
RAVLEN_SIM_API void ravlen_sim_set_monitor_volts(int channel, double volts);
/* The temperature sensor sees exactly this temperature; NaN clears. */
RAVLEN_SIM_API void ravlen_sim_set_temperature(double celsius);
/* Port1 input lines of the observed controller read this byte (lines driven by
 * the chip still read their driven level); -1 clears. */
RAVLEN_SIM_API void ravlen_sim_set_port1_inputs(int value);
/* Port0 bit 7 (supply ready) reads this level (0 or 1); -1 clears. */
RAVLEN_SIM_API void ravlen_sim_set_status_input(int value);

/* ---- Time ----------------------------------------------------------------- */

/* Tests run the supply in virtual time. now_us returns microseconds; sleep_us
 * is called where the driver would wait (a short FT_Read, latency emulation),
 * with no lock held. NULL, NULL restores the real clock. */
RAVLEN_SIM_API void ravlen_sim_set_clock(uint64_t (*now_us)(void* ctx),
                                         void (*sleep_us)(void* ctx, uint64_t us), void* ctx);
/* Data clocked in reaches FT_Read this long after it was produced unless a Send
 * Immediate (0x87) follows it; 0 = at once. */
RAVLEN_SIM_API void ravlen_sim_set_read_latency_ms(unsigned ms);

/* ---- Record --------------------------------------------------------------- */

/* One call of an entry point.
 *   arg[0]: listing index of the interface the handle opened (0xFFFFFFFF for an
 *           unknown handle); FT_Open/FT_OpenEx: the index opened; FT_ListDevices:
 *           its first argument as an integer for FT_LIST_BY_INDEX, else 0.
 *   arg[1], arg[2] by entry:
 *     FT_Write: bytes offered, bytes written       FT_Read: bytes asked, returned
 *     FT_SetTimeouts: read ms, write ms            FT_SetBitMode: mask, mode
 *     FT_SetLatencyTimer / FT_GetLatencyTimer: ms  FT_Purge: mask
 *     FT_GetQueueStatus: bytes queued              FT_OpenEx: flags
 *     FT_Open: device number
 *     FT_ListDevices: count reported, flags
 *   data/length: FT_Write the bytes written, FT_Read the bytes returned,
 *   FT_OpenEx the name or serial asked for, FT_ListDevices by index the text
 *   returned. */
typedef struct ravlen_sim_call {
    const char* entry;
    uint32_t status;
    uint64_t time_us;
    uint32_t arg[3];
    const unsigned char* data;
    uint32_t length; /* written or returned bytes */
} ravlen_sim_call;

RAVLEN_SIM_API size_t ravlen_sim_call_count(void);
/* 1 and *out filled when i is in range, else 0. Pointers valid until the next
 * reset or clear. */
RAVLEN_SIM_API int ravlen_sim_get_call(size_t i, ravlen_sim_call* out);
RAVLEN_SIM_API void ravlen_sim_clear_record(void);

/* ---- Board truth ---------------------------------------------------------- */

RAVLEN_SIM_API double ravlen_sim_dac_volts(int channel); /* 0 = HV (A), 1 = current (B) */
RAVLEN_SIM_API unsigned ravlen_sim_dac_code(int channel);
RAVLEN_SIM_API double ravlen_sim_output_kv(void);
RAVLEN_SIM_API double ravlen_sim_output_ua(void);
RAVLEN_SIM_API int ravlen_sim_supply_enabled(void); /* enables high and interlock closed */
/* Pin levels of interface A: driven level on outputs, input level on inputs. */
RAVLEN_SIM_API unsigned char ravlen_sim_low_lines(void);
RAVLEN_SIM_API unsigned char ravlen_sim_high_lines(void);
RAVLEN_SIM_API int ravlen_sim_bit_mode(void); /* 0x00 reset, 0x02 MPSSE */
RAVLEN_SIM_API unsigned ravlen_sim_latency_ms(void);
RAVLEN_SIM_API unsigned ravlen_sim_protocol_errors(void);
RAVLEN_SIM_API const char* ravlen_sim_last_protocol_error(void); /* "" when none */
RAVLEN_SIM_API double ravlen_sim_temperature(void);
RAVLEN_SIM_API unsigned char ravlen_sim_temp_config(void);
RAVLEN_SIM_API int ravlen_sim_open_handles(void);
/* Serial clock of interface A in Hz, from the divisor and the clock base. */
RAVLEN_SIM_API double ravlen_sim_clock_hz(void);

#ifdef __cplusplus
}
#endif

#endif
