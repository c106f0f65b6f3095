A=~B;
B=~A;
