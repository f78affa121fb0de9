#include "input/KeyMap.h"

std::map<int, NamedKey> MakeDeviceKeyMap() {
    return {
        {122, NamedKey::F1},       {120, NamedKey::F2},         {99, NamedKey::F3},
        {118, NamedKey::F4},       {96, NamedKey::F5},          {97, NamedKey::F6},
        {98, NamedKey::F7},        {100, NamedKey::F8},         {101, NamedKey::F9},
        {109, NamedKey::F10},      {103, NamedKey::F11},        {111, NamedKey::F12},
        {105, NamedKey::F13},      {107, NamedKey::F14},        {113, NamedKey::F15},
        {106, NamedKey::F16},      {123, NamedKey::Left},       {124, NamedKey::Right},
        {125, NamedKey::Down},     {126, NamedKey::Up},         {115, NamedKey::Home},
        {116, NamedKey::PageUp},   {121, NamedKey::PageDown},   {119, NamedKey::End},
        {53, NamedKey::Escape},    {9, NamedKey::Tab},          {76, NamedKey::Enter},
        {998, NamedKey::VolumeUp}, {997, NamedKey::VolumeDown}, {999, NamedKey::VolumeMute},
    };
}
