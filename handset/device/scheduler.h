// Inside the Device only: what the scheduler shares with the code that
// starts and ends threads.
#pragma once

namespace handset {

class Thread;

// Thrown inside a killed thread's wait to unwind it. Device frames are built
// without exceptions, so none of their destructors run, as on the phone.
struct ThreadUnwind {};

// The emulated thread this real thread is; null for the driver.
void SetSelf(Thread* t);
Thread* Self();

} // namespace handset
