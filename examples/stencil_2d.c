/* A time-stepped two-dimensional stencil. */
int T = 2;
int N = 6;
double A[6][6], B[6][6];

int main(void)
{
  int t, i, j;
#pragma resource [2][4]
  for (t = 0; t < T; t++) {
    for (i = 1; i < N - 1; i++)
      for (j = 1; j < N - 1; j++) {
#pragma latency [5][1]
        B[i][j] = (A[i - 1][j] + A[i + 1][j] + A[i][j - 1] + A[i][j + 1]) / 4;
      }
    for (i = 1; i < N - 1; i++)
      for (j = 1; j < N - 1; j++) {
#pragma latency [1][1]
        A[i][j] = B[i][j];
      }
  }
  return 0;
}
