/* Scalars with input and output pragmas: a reduction into s whose read of s
   is declared, and a scaling that only writes. */
int N = 10;
double a[10], b[10];
double s;

int main(void)
{
  int i;
#pragma resource [1][2]
  for (i = 0; i < N; i++) {
#pragma latency [2][1]
#pragma input [0]
    b[i] = a[i] * 3;
  }
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
#pragma input [0][1]
    s = s + b[i];
  }
  return 0;
}
