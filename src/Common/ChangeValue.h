#pragma once

// Stores value in member when they differ. True when it changed, so that the caller emits the
// property's notification only then.
template <typename T, typename U> inline bool changeValue(T &member, const U &value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}
