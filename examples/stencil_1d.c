/* A time-stepped one-dimensional stencil (Jacobi). */
int T = 4;
int N = 12;
double A[12], B[12];

int main(void)
{
  int t, i;
#pragma resource [2][4]
  for (t = 0; t < T; t++) {
    for (i = 1; i < N - 1; i++) {
#pragma latency [3][1]
      B[i] = (A[i - 1] + A[i] + A[i + 1]) / 3;
    }
    for (i = 1; i < N - 1; i++) {
#pragma latency [1][1]
      A[i] = B[i];
    }
  }
  return 0;
}
