#pragma once

#include <QIcon>

// The program's icon: the same picture that is written into the site as favicon.ico.
QIcon site_icon();
