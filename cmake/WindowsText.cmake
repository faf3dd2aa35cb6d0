# A text file for Windows readers: the version filled in, every line ended by
# CR LF.   cmake -DSOURCE=in -DTARGET=out -DVERSION=x.y.z -P WindowsText.cmake
cmake_minimum_required(VERSION 3.20)
file(READ ${SOURCE} text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TARGET} "${text}")
