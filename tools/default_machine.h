// The machine malvik-sim runs on when no description is given.
#pragma once

extern const char kDefaultMachineJson[];
