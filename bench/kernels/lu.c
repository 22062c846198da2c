/* lu: the kernel of the speed figures in bench/README.md (whole process, against the first version). */
int N = 8;
double A[20][20];
int main(void)
{
  int i, j, k;
#pragma resource [4][16]
  for (i = 0; i < N; i++) {
    for (j = 0; j < i; j++) {
      for (k = 0; k < j; k++) {
#pragma latency [2][2]
        A[i][j] = A[i][j] - A[i][k] * A[k][j];
      }
#pragma latency [4][4]
      A[i][j] = A[i][j] / A[j][j];
    }
    for (j = i; j < N; j++) {
      for (k = 0; k < i; k++) {
#pragma latency [2][2]
        A[i][j] = A[i][j] - A[i][k] * A[k][j];
      }
    }
  }
  return 0;
}
