/* lu: LU decomposition without pivoting, in place, row by row. */
int N = 7;
double A[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
    for (j = 0; j < i; j++) {
      for (k = 0; k < j; k++)
#pragma latency [2][1]
        A[i][j] -= A[i][k] * A[k][j];
#pragma latency [4][2]
      A[i][j] /= A[j][j];
    }
    for (j = i; j < N; j++)
      for (k = 0; k < i; k++)
#pragma latency [2][1]
        A[i][j] -= A[i][k] * A[k][j];
  }
  return 0;
}
