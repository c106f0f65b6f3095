' a header: NAME = value;
{ also a comment
Cmd = Frob ;
KALL(=QQQ(1,;
TWICE=A=B;
;ignored
