int N = 4;
double a[4];
