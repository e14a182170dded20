#pragma once

#include <QIcon>

QIcon applicationIcon();
