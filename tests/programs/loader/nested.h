A=1;
$H defs.h
