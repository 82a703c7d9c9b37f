#pragma once

#include <QString>

// Someone allowed into the maintenance area.
struct User
{
    int id = 0;
    QString name;
    QString surname;
    QString pin; // compared as an exact string
};
