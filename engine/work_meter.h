// A count of the elementary steps the engine takes on the calling thread:
// bytes its searches look at, bytes it copies, index entries it visits.
//
// Tests and benchmarks read it to check that the work of each step grows in
// proportion to its input, whatever the input's shape, without timing
// anything on a shared machine. Nothing in the engine decides anything by
// it. Each algorithm counts in a local variable and adds its total once per
// call (or per outer round), so that the meter costs nothing measurable.

#ifndef QUARRY_ENGINE_WORK_METER_H_
#define QUARRY_ENGINE_WORK_METER_H_

#include <cstdint>

namespace quarry {

namespace internal {
inline thread_local uint64_t engine_work_steps = 0;
}  // namespace internal

// Steps counted on this thread since it started; only differences between
// two readings mean anything.
inline uint64_t EngineWorkSteps() { return internal::engine_work_steps; }

// Adds `steps` to this thread's count.
inline void AddEngineWork(uint64_t steps) { internal::engine_work_steps += steps; }

}  // namespace quarry

#endif  // QUARRY_ENGINE_WORK_METER_H_
