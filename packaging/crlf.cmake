# Copies a text file with Windows line ends: cmake -DIN=file -DOUT=file -P crlf.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
