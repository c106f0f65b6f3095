// Switches of SET/GET that belong to no other record.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

struct TSwitches {
  int32_t MessageMode = 1;
  int32_t RandSeed = 0;
  int32_t FileMode = 2;
  std::string ListDel = "|";
  int32_t CharSet = 1;  // stored 1 reads as -1
  int32_t OglDepth = 100;
};
extern TSwitches gSwitches;

void ResetSwitches();
void RegisterSetGet();

}  // namespace korv
