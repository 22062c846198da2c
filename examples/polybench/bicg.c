/* bicg: the two products of the BiCG method, s = A^T * r and q = A * p,
   in one sweep over A. */
int M = 7, N = 8;
double A[20][20], s[20], q[20], p[20], r[20];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < M; i++)
#pragma latency [1][1]
    s[i] = 0;
  for (i = 0; i < N; i++) {
#pragma latency [1][1]
    q[i] = 0.0;
    for (j = 0; j < M; j++) {
#pragma latency [2][1]
      s[j] = s[j] + r[i] * A[i][j];
#pragma latency [4][2]
      q[i] = q[i] + A[i][j] * p[j];
    }
  }
  return 0;
}
